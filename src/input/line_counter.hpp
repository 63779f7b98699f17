// Counting the lines of the table's text: every line counts, empty ones and a last line
// without a line end included. The solver table's record count is this number minus its two
// header lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "input/table_file.hpp"

namespace vort {

// The count, and for a large plain table the parts it was counted in: each part starts at a
// line start, so the table reader may read the same parts at once.
struct line_count {
  std::int64_t lines = 0;
  std::vector<std::uint64_t> part_starts;       // byte offsets; the first is 0, none for one part
  std::vector<std::int64_t> lines_before_part;  // lines that end before each part's start
};

// A plain table is split into at most `parts` parts of at least `smallest_part` bytes each.
inline constexpr std::uint64_t smallest_part = std::uint64_t{8} << 20;

// The most lines a table may have: what a record number counts.
inline constexpr std::int64_t most_lines = 2147483647;

// The refusal of the table `name` for having more lines.
failure too_many_lines(const std::string& name);

// Throws `failure` when the table cannot be read or holds more than `most_lines` lines.
line_count count_lines(const table_file& table, int parts);

// The count of a compressed table from a reading of it, which goes on to the text's end from
// wherever it has got: a read that counts as it goes. Throws as `count_lines` does.
line_count count_rest_of_text(const table_file& table, gzip_stream& stream);

}  // namespace vort
