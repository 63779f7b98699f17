// VORT2Pelta --check BASE [--against TABLE]: reads the six files of a written map back and
// checks their layout, and with --against every value against the table converted again as
// its conversion did. Creates no file.
#pragma once

#include <ostream>

#include "app/options.hpp"

namespace vort {

// Checks each whole set of six files named by `options.check`: the E set (.ex, .ey, .ez) and
// the B set (.bx, .by, .bz), or only that of `field_id` where it is E or B. Throws `failure`
// for a set that is not whole, where none is there, and for the first fault of a map, naming
// its file and line; writes a line for each map found sound.
void check_written_map(const command_options& options, char field_id, std::ostream& out);

}  // namespace vort
