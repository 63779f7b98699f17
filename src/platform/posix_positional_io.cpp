#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

#include "platform/positional_io.hpp"

namespace vort {

int write_all_at(file_descriptor fd, const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return ENOSPC;
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return 0;
}

std::int64_t read_at(file_descriptor fd, void* data, std::size_t size, std::uint64_t offset) {
  return ::pread(fd, data, size, static_cast<off_t>(offset));
}

std::int64_t read_next(file_descriptor fd, void* data, std::size_t size) {
  return ::read(fd, data, size);
}

// EAGAIN is Linux's EWOULDBLOCK too.
std::int64_t read_waiting(file_descriptor fd, void* data, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return -1;
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return -1;
  }
}

int rewind_descriptor(file_descriptor fd) {
  return ::lseek(fd, 0, SEEK_SET) == 0 ? 0 : -1;
}

}  // namespace vort
