#include "input/line_blocks.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/failure.hpp"

namespace vort {

line_blocks open_line_blocks(byte_source source, std::size_t block_size) {
  line_blocks blocks;
  blocks.source = std::move(source);
  blocks.buffer.resize(block_size_for(blocks.source, block_size));
  return blocks;
}

bool next_lines(line_blocks& blocks, text_cursor& cursor) {
  char* data = blocks.buffer.data();
  const std::size_t carried = blocks.data_end - blocks.lines_end;
  std::memmove(data, data + blocks.lines_end, carried);
  blocks.data_end = carried;
  blocks.lines_end = 0;
  std::size_t searched = 0;
  while (blocks.lines_end == 0) {
    if (!blocks.at_eof) {
      if (blocks.data_end == blocks.buffer.size()) {
        if (blocks.data_end >= longest_line) {
          throw failure{printable_item(blocks.source.table->name) + ":" +
                        std::to_string(cursor.line) + ": the line is longer than " +
                        std::to_string(longest_line) + " bytes, more than any table needs"};
        }
        blocks.buffer.resize(std::min(blocks.buffer.size() * 2, longest_line));
        data = blocks.buffer.data();
      }
      const std::size_t got =
          read_bytes(blocks.source, data + blocks.data_end, blocks.buffer.size() - blocks.data_end);
      blocks.at_eof = got == 0;
      blocks.data_end += got;
    }
    for (std::size_t i = blocks.data_end; i > searched; --i) {
      if (data[i - 1] == '\n') {
        blocks.lines_end = i;
        break;
      }
    }
    searched = blocks.data_end;
    if (blocks.lines_end == 0 && blocks.at_eof) {
      if (blocks.data_end == 0) return false;
      blocks.lines_end = blocks.data_end;
    }
  }
  cursor.pos = data;
  cursor.end = data + blocks.lines_end;
  return true;
}

}  // namespace vort
