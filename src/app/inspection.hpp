// VORT2Pelta --inspect TABLE: what a table holds, found from its positions, and the command
// that converts it. Creates no file.
#pragma once

#include <ostream>
#include <string>

#include "app/message_text.hpp"

namespace vort {

// The description is lines of text, or with `json` one JSON object (its keys in the README).
// Throws `failure` for a table that cannot be read, as a conversion does, and for one whose
// positions form no grid, saying why; in JSON the object then holds the table and the error.
// The table "-" is read from standard input.
void inspect_table(const std::string& table_name, bool json, std::ostream& out,
                   name_charset charset);

}  // namespace vort
