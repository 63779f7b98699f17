// Counting the lines of a text file: every line counts, empty ones and a last line without a
// line end included. The solver table's record count is this number minus its two header lines.
#pragma once

#include <cstdint>
#include <string>

namespace vort::files_analysis {

// Throws `failure` when the file cannot be opened or read, or holds more than 2^31 - 1 lines.
std::int32_t file_record(const std::string& name);

}  // namespace vort::files_analysis
