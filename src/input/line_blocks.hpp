// Input files read in large blocks that always end at a line end (or at the end of the
// file), so a free-form read over one block never meets half a number. A line longer than
// the block makes the block grow until the line fits.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/file_handle.hpp"
#include "input/free_form.hpp"

namespace vort {

// Opens an input file for reading, unbuffered (callers read large blocks themselves).
// Throws `failure` naming the file and the cause.
file_handle open_input_file(const std::string& name);

// The file's size in bytes, or 0 when it cannot be told.
std::uint64_t size_of_file(const std::string& name);

// A block size for reading a file of `file_size` bytes: `largest`, or less for a smaller
// file, so that small tables do not cost large buffers (a block grows for a longer line).
std::size_t block_size_for(std::uint64_t file_size, std::size_t largest);

// Reads up to `size` bytes; returns the count, 0 at the end of the file. Throws on an error.
std::size_t read_block(std::FILE* file, const std::string& name, char* data, std::size_t size);

struct line_blocks {
  std::string name;
  file_handle file;
  std::vector<char> buffer;
  std::size_t lines_end = 0;  // end of the whole lines handed out
  std::size_t data_end = 0;   // end of the bytes read; a partial last line lies in between
  bool at_eof = false;
  std::uint64_t file_size = 0;  // when opened, as far as it could be told
  std::uint64_t bytes_read = 0;
};

inline constexpr std::size_t default_block_size = std::size_t{1} << 20;

line_blocks open_line_blocks(const std::string& name, std::size_t block_size = default_block_size);

// Hands out the next whole lines in `cursor` (keeping its line number); the previous ones
// must be used up. Returns false at the end of the file.
bool next_lines(line_blocks& blocks, text_cursor& cursor);

}  // namespace vort
