// VORT2Pelta --inspect TABLE: what a table holds, found from its positions, and the command
// that converts it. Creates no file.
#pragma once

#include <ostream>
#include <string>

namespace vort {

// Throws `failure` for a table that cannot be read, as a conversion does, and for one whose
// positions form no grid, saying why.
void inspect_table(const std::string& table_name, std::ostream& out);

}  // namespace vort
