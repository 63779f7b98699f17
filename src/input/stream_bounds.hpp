// How much of a piped stream its copy may take: what a table of a given number of records can
// hold, and a little else. A stream that passes that is no such table, however it goes on, and
// is refused while its copy is still small, whatever it holds: endless blank lines, text, one
// endless line, binary noise, a table repeated. The bytes of a compressed stream are bounded as
// a plain table's are (a table compresses, never grows), and its text as a plain stream is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/failure.hpp"

namespace vort {

// Besides its records, a table holds its two header lines, perhaps a blank line between its
// records (the reader passes them over) and a line of text at its end: a stream may hold as
// many blank or text lines as lines of values and this many more, and this many bytes beyond
// its records', before its copy is refused.
inline constexpr std::uint64_t other_lines_allowance = 1000;
inline constexpr std::uint64_t other_bytes_allowance = std::uint64_t{4} << 20;

// Of a table of `most_records` records (its counts' knots; for `auto` counts and --inspect the
// most a record table can number): each record fills at most nine lines (a value each) of at
// most the reader's longest line.
struct stream_bounds {
  std::int64_t most_records = 0;
  std::uint64_t most_bytes = 0;
  std::uint64_t most_value_lines = 0;  // lines that start with a number
  std::uint64_t most_lines = 0;        // the reader's own limit, whatever the records
};

stream_bounds bounds_for_records(std::int64_t most_records);

// What a plain stream has shown so far, block by block.
struct stream_scan {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;  // ended lines
  std::uint64_t value_lines = 0;
  std::uint64_t other_lines = 0;  // blank lines and lines of text
  std::uint64_t line_length = 0;  // of the line not ended yet
  enum class line_kind { undecided, blank, values, text } kind = line_kind::undecided;
};

// Takes the next block of a plain stream called `name` in messages, returning the refusal of a
// stream that has passed a bound, if it has.
std::optional<failure> scan_plain_block(stream_scan& scan, const stream_bounds& bounds,
                                        const std::string& name, const char* data,
                                        std::size_t size);

// Takes the bytes of the next block of any stream, all that a compressed one's copy can tell,
// as above; `scan_plain_block` takes them itself.
std::optional<failure> scan_block_bytes(stream_scan& scan, const stream_bounds& bounds,
                                        std::size_t size);

}  // namespace vort
