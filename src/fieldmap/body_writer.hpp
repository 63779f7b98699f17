// The body of the six field-map files: one line per grid line of the map parallel to x, z
// planes in increasing order and, within a plane, y lines in increasing order. Each value is a
// table value times the file's factor, formed in single precision and widened: 1 or mu0 in
// magnitude, negative for the real parts of a `B` field, and for a mirror image times the
// parity of the file's component in each plane it is reflected in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/work_counter.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// The threads that the body of a map of these knots is worth: `threads`, or one for a map
// too small to pay for a second.
int body_threads(map_knots knots, int threads);

// The buffer each writing thread formats into: `output_buffer_size` (a larger one would gain
// nothing, and may be given whole huge pages) for up to two threads, less for more, so that
// the buffers together stay within two of that size; at most a whole file, and at least a
// field's room.
std::size_t body_buffer_bytes(std::uint64_t bytes_per_file, int threads);

// Writes the whole body of all six files after their headers. Every line of a file has the
// same length, so each file's lines are cut into stretches whose places are known before they
// are formatted, and up to `threads` threads (the caller's among them) take the stretches in
// turn; every file's bytes are the same for any count.
void write_body(output_set& set, const record_table& table, const field_kind& kind,
                const map_symmetry& symmetry, work_counter* counter = nullptr, int threads = 1);

}  // namespace vort
