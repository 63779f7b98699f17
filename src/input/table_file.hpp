// The solver table, opened once: the line count, the split into parts, the read and any
// re-read all go through the one open file, so none finds the table again by its name (a
// table renamed or replaced meanwhile cannot mix two files into one map).
//
// Its text comes in large blocks: straight from the file, or, when the file starts with the
// gzip magic (1f 8b), inflated on the way in a thread of its own. Either way callers see the text
// the table holds, so line numbers are those of the decompressed text while messages name the file
// as the user gave it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/file_handle.hpp"
#include "input/gzip_stream.hpp"

namespace vort {

enum class table_encoding { plain, gzip };

struct table_file {
  std::string name;  // as the user gave it: what messages name
  unique_fd file;
  std::uint64_t size = 0;  // bytes on disk
  table_encoding encoding = table_encoding::plain;
  bool inflate_in_own_thread = true;  // else the reading thread inflates a compressed table
};

// Opens a regular file for reading. Throws `failure` naming the file and the cause: missing,
// unreadable, a directory, or not a regular file (a device or a pipe may never end, and a
// table is read more than once).
table_file open_table(const std::string& name);

// The same for a file already open for reading, which messages call `name`.
table_file adopt_table(const std::string& name, unique_fd file);

// A reading of the table's text: of a plain table the bytes [offset, end), of a compressed
// one the whole text.
struct byte_source {
  const table_file* table = nullptr;
  std::unique_ptr<gzip_stream> gz;
  std::uint64_t offset = 0;
  std::uint64_t end = unlimited;

  static constexpr std::uint64_t unlimited = ~std::uint64_t{0};
};

// The whole text, from its start.
byte_source read_text(const table_file& table);

// The part [begin, end) of a plain table, for reading a table in parts at once.
byte_source read_text_range(const table_file& table, std::uint64_t begin, std::uint64_t end);

// Reads up to `size` bytes of the (decompressed) text; returns the count, 0 at its end.
// Throws `failure` on a read error or a damaged compressed file.
std::size_t read_bytes(byte_source& source, char* data, std::size_t size);

// Of a compressed table: hands out the next block of the text as the inflating thread made
// it, valid until the next call, or at the end (false) the text's size and line count in
// `offset` and `first_line`. Throws as `read_bytes` does.
bool next_inflated_block(byte_source& source, text_block& block);

// How far through the file on disk the reading has got, in bytes: for progress.
std::uint64_t bytes_consumed(const byte_source& source);

// The largest block of each of `parts` readings of one table at once: 1 MB for up to two,
// less for more (at least 64 KB), so that their buffers together stay within 2 MB however many
// threads read.
std::size_t part_block_size(int parts);

// A block size for reading: `largest`, or less for a smaller plain table, so that small tables
// do not cost large buffers. A compressed table's text comes in the inflating thread's blocks:
// the buffer only joins the parts of a line that runs from one into the next.
std::size_t block_size_for(const byte_source& source, std::size_t largest);

}  // namespace vort
