#include "input/byte_source.hpp"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

bool starts_with_gzip_magic(std::FILE* file) {
  unsigned char magic[2] = {};
  const std::size_t got = std::fread(magic, 1, 2, file);
  std::rewind(file);
  return got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

}  // namespace

void gz_closer::operator()(gzFile_s* file) const {
  gzclose(file);
}

byte_source open_byte_source(const std::string& name) {
  std::error_code ec;
  const auto status = std::filesystem::status(name, ec);
  if (std::filesystem::is_directory(status)) refuse_read(name, "it is a directory");
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    refuse_read(name, "it is not a regular file");
  }
  byte_source source;
  source.name = name;
  errno = 0;
  source.file.reset(std::fopen(name.c_str(), "rb"));
  if (!source.file) {
    throw failure{"cannot open " + in_quotes(name) + ": " + std::strerror(errno)};
  }
  const std::uintmax_t size = std::filesystem::file_size(name, ec);
  source.file_size = ec ? 0 : static_cast<std::uint64_t>(size);
  if (starts_with_gzip_magic(source.file.get())) {
    // zlib reads from a descriptor of its own.
    const int descriptor = ::dup(fileno(source.file.get()));
    source.gz.reset(descriptor < 0 ? nullptr : gzdopen(descriptor, "rb"));
    if (!source.gz) {
      if (descriptor >= 0) ::close(descriptor);
      refuse_read(name, "cannot start decompressing it");
    }
    gzbuffer(source.gz.get(), 1 << 20);
  }
  return source;
}

std::size_t read_bytes(byte_source& source, char* data, std::size_t size) {
  if (source.gz) {
    const int got =
        gzread(source.gz.get(), data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    int error = Z_OK;
    const char* message = gzerror(source.gz.get(), &error);
    if (got < 0 || (error != Z_OK && error != Z_STREAM_END)) {
      refuse_read(source.name, error == Z_ERRNO ? std::strerror(errno)
                                                : "the compressed data are damaged (" +
                                                      zlib_reason(message) + ")");
    }
    return static_cast<std::size_t>(got);
  }
  if (source.offset >= source.end) return 0;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, source.end - source.offset));
  for (;;) {
    const ssize_t got =
        ::pread(fileno(source.file.get()), data, size, static_cast<off_t>(source.offset));
    if (got >= 0) {
      source.offset += static_cast<std::uint64_t>(got);
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) refuse_read(source.name, std::strerror(errno));
  }
}

std::uint64_t bytes_consumed(const byte_source& source) {
  return source.gz ? static_cast<std::uint64_t>(gzoffset(source.gz.get())) : source.offset;
}

byte_source open_byte_range(const std::string& name, std::uint64_t begin, std::uint64_t end) {
  byte_source source = open_byte_source(name);
  source.offset = begin;
  source.end = end;
  return source;
}

std::size_t block_size_for(const byte_source& source, std::size_t largest) {
  constexpr std::size_t smallest = 4096;
  if (source.gz || source.file_size >= largest) return largest;
  return source.file_size < smallest ? smallest : static_cast<std::size_t>(source.file_size) + 1;
}

}  // namespace vort
