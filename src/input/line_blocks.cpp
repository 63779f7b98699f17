#include "input/line_blocks.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/failure.hpp"

namespace vort {

file_handle open_input_file(const std::string& name) {
  std::error_code ec;
  const auto status = std::filesystem::status(name, ec);
  if (std::filesystem::is_directory(status)) {
    throw failure{"cannot read " + in_quotes(name) + ": it is a directory"};
  }
  // A device or a pipe may never end, and the table is opened twice (counted, then read).
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw failure{"cannot read " + in_quotes(name) + ": it is not a regular file"};
  }
  errno = 0;
  file_handle file(std::fopen(name.c_str(), "rb"));
  if (!file) {
    throw failure{"cannot open " + in_quotes(name) + ": " + std::strerror(errno)};
  }
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

std::uint64_t size_of_file(const std::string& name) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(name, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

std::size_t block_size_for(std::uint64_t file_size, std::size_t largest) {
  constexpr std::size_t smallest = 4096;
  if (file_size >= largest) return largest;
  return file_size < smallest ? smallest : static_cast<std::size_t>(file_size) + 1;
}

std::size_t read_block(std::FILE* file, const std::string& name, char* data, std::size_t size) {
  errno = 0;
  const std::size_t got = std::fread(data, 1, size, file);
  if (got < size && std::ferror(file)) {
    throw failure{"cannot read " + in_quotes(name) + ": " + std::strerror(errno)};
  }
  return got;
}

line_blocks open_line_blocks(const std::string& name, std::size_t block_size) {
  line_blocks blocks;
  blocks.name = name;
  blocks.file = open_input_file(name);
  blocks.file_size = size_of_file(name);
  blocks.buffer.resize(block_size_for(blocks.file_size, block_size));
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
        blocks.buffer.resize(blocks.buffer.size() * 2);
        data = blocks.buffer.data();
      }
      const std::size_t got = read_block(blocks.file.get(), blocks.name, data + blocks.data_end,
                                         blocks.buffer.size() - blocks.data_end);
      blocks.at_eof = got == 0;
      blocks.data_end += got;
      blocks.bytes_read += got;
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
