#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/descriptor.hpp"

namespace vort {

int close_descriptor(file_descriptor fd) {
  return ::close(fd);
}

file_descriptor duplicate_descriptor(file_descriptor fd) {
  return ::dup(fd);
}

std::FILE* stream_on_descriptor(file_descriptor fd, const char* mode) {
  return ::fdopen(fd, mode);
}

void occupy_closed_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free descriptor is this one: every one below it is open.
    if (::open("/dev/null", O_RDONLY) < 0) return;
  }
}

}  // namespace vort
