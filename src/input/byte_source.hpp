// The bytes of an input file, read in large blocks: straight from the file, or, when the
// file starts with the gzip magic (1f 8b), decompressed on the way by the system's zlib.
// Either way callers see the text the table holds, so line numbers are those of the
// decompressed text while messages name the file as the user gave it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/file_handle.hpp"

struct gzFile_s;

namespace vort {

struct gz_closer {
  void operator()(gzFile_s* file) const;
};

struct byte_source {
  std::string name;
  file_handle file;                         // a plain file, read at `offset` up to `end`
  std::unique_ptr<gzFile_s, gz_closer> gz;  // a compressed one, read whole
  std::uint64_t file_size = 0;              // on disk, as far as it could be told
  std::uint64_t offset = 0;
  std::uint64_t end = unlimited;

  static constexpr std::uint64_t unlimited = ~std::uint64_t{0};
};

// Opens a regular file for reading. Throws `failure` naming the file and the cause: missing,
// unreadable, a directory, or not a regular file (a device or a pipe may never end, and a
// table is read twice).
byte_source open_byte_source(const std::string& name);

// The part [begin, end) of a plain file, for reading a table in parts at once.
byte_source open_byte_range(const std::string& name, std::uint64_t begin, std::uint64_t end);

// Reads up to `size` bytes of the (decompressed) text; returns the count, 0 at its end.
// Throws `failure` on a read error or a damaged compressed file.
std::size_t read_bytes(byte_source& source, char* data, std::size_t size);

// How far through the file on disk the reading has got, in bytes: for progress.
std::uint64_t bytes_consumed(const byte_source& source);

// A block size for reading a file of `file_size` bytes: `largest`, or less for a smaller
// plain file, so that small tables do not cost large buffers (a block grows for a longer line).
std::size_t block_size_for(const byte_source& source, std::size_t largest);

}  // namespace vort
