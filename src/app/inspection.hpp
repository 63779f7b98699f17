// VORT2Pelta --inspect TABLE: what a table holds, found from its positions, and the command
// that converts it. Creates no file.
#pragma once

#include <ostream>
#include <string>

#include "app/message_text.hpp"
#include "app/options.hpp"

namespace vort {

// The description is lines of text, or with `json` one JSON object (its keys in the README).
// Throws `failure` for a table that cannot be read, as a conversion does, and for one whose
// positions form no grid, saying why; in JSON the object then holds the table and the error.
// The table "-" is read from standard input. The field on the axis (--axis, in metres, with
// the positions in `options.length`; --frequency and --beta) is reported from the values as
// the table holds them; a line given by --axis that misses the table is refused.
void inspect_table(const std::string& table_name, const command_options& options, std::ostream& out,
                   name_charset charset);

}  // namespace vort
