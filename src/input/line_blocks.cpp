#include "input/line_blocks.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/failure.hpp"

namespace vort {

failure long_line(const std::string& name, std::int64_t line) {
  return failure::at_line(fault::line_too_long, name, line, {std::int64_t{longest_line}});
}

line_blocks open_line_blocks(byte_source source, std::size_t block_size) {
  line_blocks blocks;
  blocks.source = std::move(source);
  blocks.buffer.resize(block_size_for(blocks.source, block_size));
  return blocks;
}

namespace {

[[noreturn]] void refuse_long_line(const line_blocks& blocks, const text_cursor& cursor) {
  throw long_line(blocks.source.table->name, cursor.line);
}

// Carries `part` of a line over in the buffer, after what it holds.
void carry(line_blocks& blocks, const text_cursor& cursor, std::string_view part) {
  const std::size_t needed = blocks.data_end + part.size();
  if (needed > longest_line) refuse_long_line(blocks, cursor);
  if (needed > blocks.buffer.size()) {
    blocks.buffer.resize(std::min(std::max(blocks.buffer.size() * 2, needed), longest_line));
  }
  std::copy(part.begin(), part.end(), blocks.buffer.begin() + blocks.data_end);
  blocks.data_end = needed;
}

// Hands out the buffer: the line carried over, now whole (or the text's last).
bool hand_out_carried(line_blocks& blocks, text_cursor& cursor) {
  cursor.pos = blocks.buffer.data();
  cursor.end = cursor.pos + blocks.data_end;
  blocks.data_end = 0;
  return true;
}

bool next_inflated_lines(line_blocks& blocks, text_cursor& cursor) {
  for (;;) {
    std::string_view& rest = blocks.inflated;
    if (blocks.data_end == 0) {
      const std::size_t last = rest.rfind('\n');
      if (last != std::string_view::npos) {
        cursor.pos = rest.data();
        cursor.end = rest.data() + last + 1;
        rest.remove_prefix(last + 1);
        return true;
      }
    } else if (const std::size_t first = rest.find('\n'); first != std::string_view::npos) {
      carry(blocks, cursor, rest.substr(0, first + 1));
      rest.remove_prefix(first + 1);
      return hand_out_carried(blocks, cursor);
    }
    carry(blocks, cursor, rest);
    text_block block;
    if (!next_inflated_block(blocks.source, block)) {
      rest = {};
      return blocks.data_end > 0 && hand_out_carried(blocks, cursor);
    }
    rest = {block.data, block.size};
  }
}

}  // namespace

bool next_lines(line_blocks& blocks, text_cursor& cursor) {
  if (blocks.source.gz) return next_inflated_lines(blocks, cursor);
  char* data = blocks.buffer.data();
  const std::size_t carried = blocks.data_end - blocks.lines_end;
  std::memmove(data, data + blocks.lines_end, carried);
  blocks.data_end = carried;
  blocks.lines_end = 0;
  std::size_t searched = 0;
  while (blocks.lines_end == 0) {
    if (!blocks.at_eof) {
      if (blocks.data_end == blocks.buffer.size()) {
        if (blocks.data_end >= longest_line) refuse_long_line(blocks, cursor);
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
