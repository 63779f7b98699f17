// Input text handed out in large blocks that always end at a line end (or at the end of the
// text), so a free-form read over one block never meets half a number. A line longer than
// the block makes the block grow until the line fits, up to `longest_line`: no table needs a
// longer one, and a file of one endless line must not take all memory. The text of a
// compressed table is handed out where the inflating thread made it; only a line that runs
// from one of its blocks into the next is copied, to join its parts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.hpp"
#include "input/free_form.hpp"
#include "input/table_file.hpp"

namespace vort {

struct line_blocks {
  byte_source source;
  std::vector<char> buffer;
  std::size_t lines_end = 0;  // end of the whole lines handed out
  std::size_t data_end = 0;   // end of the bytes read; a partial last line lies in between
  bool at_eof = false;
  std::string_view inflated;  // of a compressed table's block, the part not handed out yet
};

inline constexpr std::size_t default_block_size = std::size_t{1} << 20;

// A record of nine numbers fills a few hundred bytes, a header line a few thousand at most.
inline constexpr std::size_t longest_line = default_block_size;

// The refusal of line `line` of the table `name` for its length.
failure long_line(const std::string& name, std::int64_t line);

line_blocks open_line_blocks(byte_source source, std::size_t block_size = default_block_size);

// Hands out the next whole lines in `cursor` (keeping its line number); the previous ones
// must be used up. Returns false at the end of the file. Throws `failure` naming the file and
// the line when a line is longer than `longest_line`.
bool next_lines(line_blocks& blocks, text_cursor& cursor);

}  // namespace vort
