#include "input/table_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/failure.hpp"
#include "input/gzip_inflater.hpp"
#include "platform/file_status.hpp"
#include "platform/positional_io.hpp"

namespace vort {
namespace {

[[noreturn]] void refuse_read(fault code, const std::string& name, int error = 0) {
  throw failure{code, name, error};
}

bool file_starts_with_gzip_magic(file_descriptor fd) {
  unsigned char magic[2] = {};
  return read_at(fd, magic, 2, 0) == 2 && starts_with_gzip_magic(magic, 2);
}

}  // namespace

table_file open_table(const std::string& name) {
  // Not blocking: a pipe without a writer would hold the open until one came.
  unique_fd file(open_for_reading(name.c_str()));
  if (file.fd < 0) {
    throw failure{fault::cannot_open, name, errno};
  }
  return adopt_table(name, std::move(file));
}

table_file adopt_table(const std::string& name, unique_fd file) {
  table_file table;
  table.name = name;
  table.file = std::move(file);
  file_status status;
  if (status_of_open(table.file.fd, status) != 0) refuse_read(fault::cannot_read, name, errno);
  if (status.kind == file_kind::directory) refuse_read(fault::read_directory, name);
  if (status.kind != file_kind::regular) refuse_read(fault::read_not_regular_file, name);
  make_blocking(table.file.fd);
  table.size = status.size;
  if (file_starts_with_gzip_magic(table.file.fd)) table.encoding = table_encoding::gzip;
  return table;
}

byte_source read_text(const table_file& table) {
  byte_source source;
  source.table = &table;
  if (table.encoding == table_encoding::gzip) {
    // The inflating thread reads the file in order from the offset it shares with the table:
    // every reading of a compressed table starts from the beginning, and one follows another.
    if (rewind_descriptor(table.file.fd) != 0) refuse_read(fault::cannot_read, table.name, errno);
    source.gz = std::make_unique<gzip_stream>(
        start_gzip_stream(table.file.fd, {}, table.name, table.inflate_in_own_thread));
  }
  return source;
}

byte_source read_text_range(const table_file& table, std::uint64_t begin, std::uint64_t end) {
  byte_source source = read_text(table);
  source.offset = begin;
  source.end = end;
  return source;
}

std::size_t read_bytes(byte_source& source, char* data, std::size_t size) {
  if (source.gz) return read_inflated(*source.gz, data, size);
  if (source.offset >= source.end) return 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, source.end - source.offset));
  for (;;) {
    const std::int64_t got = read_at(source.table->file.fd, data, size, source.offset);
    if (got >= 0) {
      source.offset += static_cast<std::uint64_t>(got);
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) refuse_read(fault::cannot_read, source.table->name, errno);
  }
}

bool next_inflated_block(byte_source& source, text_block& block) {
  return next_text_block(*source.gz, block);
}

std::uint64_t bytes_consumed(const byte_source& source) {
  return source.gz ? compressed_bytes_taken(*source.gz) : source.offset;
}

std::size_t part_block_size(int parts) {
  constexpr std::size_t together = std::size_t{2} << 20, smallest = std::size_t{64} << 10;
  return std::clamp(together / static_cast<std::size_t>(std::max(parts, 1)), smallest,
                    together / 2);
}

std::size_t block_size_for(const byte_source& source, std::size_t largest) {
  constexpr std::size_t smallest = 4096;
  const std::uint64_t size = source.table->size;
  if (source.gz) return smallest;
  if (size >= largest) return largest;
  return size < smallest ? smallest : static_cast<std::size_t>(size) + 1;
}

}  // namespace vort
