#include "input/table_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "common/failure.hpp"

namespace vort {
namespace {

[[noreturn]] void refuse_read(const std::string& name, const std::string& cause) {
  throw failure{"cannot read " + in_quotes(name) + ": " + cause};
}

// zlib's message without the "<fd:N>: " that names its descriptor.
std::string zlib_reason(const char* message) {
  const std::string text = message;
  const std::size_t colon = text.find(": ");
  return text.rfind("<fd:", 0) == 0 && colon != std::string::npos ? text.substr(colon + 2) : text;
}

bool starts_with_gzip_magic(int fd) {
  unsigned char magic[2] = {};
  return ::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

}  // namespace

void gz_closer::operator()(gzFile_s* file) const {
  gzclose(file);
}

table_file open_table(const std::string& name) {
  // Not blocking: a pipe without a writer would hold the open until one came.
  unique_fd file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.fd < 0) {
    throw failure{"cannot open " + in_quotes(name) + ": " + std::strerror(errno)};
  }
  return adopt_table(name, std::move(file));
}

table_file adopt_table(const std::string& name, unique_fd file) {
  table_file table;
  table.name = name;
  table.file = std::move(file);
  struct stat status {};
  if (::fstat(table.file.fd, &status) != 0) refuse_read(name, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) refuse_read(name, "it is a directory");
  if (!S_ISREG(status.st_mode)) refuse_read(name, "it is not a regular file");
  ::fcntl(table.file.fd, F_SETFL, 0);
  table.size = static_cast<std::uint64_t>(status.st_size);
  if (starts_with_gzip_magic(table.file.fd)) table.encoding = table_encoding::gzip;
  return table;
}

byte_source read_text(const table_file& table) {
  byte_source source;
  source.table = &table;
  if (table.encoding == table_encoding::gzip) {
    // zlib reads from a descriptor of its own, which shares the file's offset: every reading
    // of a compressed table starts from the beginning, and one follows another.
    const int descriptor = ::dup(table.file.fd);
    if (descriptor >= 0 && ::lseek(descriptor, 0, SEEK_SET) == 0) {
      source.gz.reset(gzdopen(descriptor, "rb"));
    }
    if (!source.gz) {
      if (descriptor >= 0) ::close(descriptor);
      refuse_read(table.name, "cannot start decompressing it");
    }
    gzbuffer(source.gz.get(), 1 << 20);
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
  if (source.gz) {
    const int got =
        gzread(source.gz.get(), data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    int error = Z_OK;
    const char* message = gzerror(source.gz.get(), &error);
    if (got < 0 || (error != Z_OK && error != Z_STREAM_END)) {
      refuse_read(source.table->name, error == Z_ERRNO ? std::strerror(errno)
                                                       : "the compressed data are damaged (" +
                                                             zlib_reason(message) + ")");
    }
    return static_cast<std::size_t>(got);
  }
  if (source.offset >= source.end) return 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, source.end - source.offset));
  for (;;) {
    const ssize_t got =
        ::pread(source.table->file.fd, data, size, static_cast<off_t>(source.offset));
    if (got >= 0) {
      source.offset += static_cast<std::uint64_t>(got);
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) refuse_read(source.table->name, std::strerror(errno));
  }
}

std::uint64_t bytes_consumed(const byte_source& source) {
  return source.gz ? static_cast<std::uint64_t>(gzoffset(source.gz.get())) : source.offset;
}

std::size_t block_size_for(const byte_source& source, std::size_t largest) {
  constexpr std::size_t smallest = 4096;
  const std::uint64_t size = source.table->size;
  if (source.gz || size >= largest) return largest;
  return size < smallest ? smallest : static_cast<std::size_t>(size) + 1;
}

}  // namespace vort
