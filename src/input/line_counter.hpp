// Counting the lines of a text file: every line counts, empty ones and a last line without a
// line end included. The solver table's record count is this number minus its two header lines.
#pragma once

#include <cstdint>
#include <string>

namespace vort::files_analysis {

// The count, and for a large plain file a line start near its middle: the two halves are
// counted at once, and the table reader may read them at once too.
struct line_count {
  std::int64_t lines = 0;
  std::uint64_t split = 0;              // a line start near the middle, 0 for none
  std::int64_t lines_before_split = 0;  // lines that end before `split`
};

// Throws `failure` when the file cannot be opened or read, or holds more than 2^31 - 1 lines.
std::int32_t file_record(const std::string& name, line_count* detail = nullptr);

}  // namespace vort::files_analysis
