#include "app/standard_streams.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/failure.hpp"
#include "common/read_waiting.hpp"

namespace vort {

void occupy_closed_standard_streams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free descriptor is this one: every one below it is open.
    if (::open("/dev/null", O_RDONLY) < 0) return;
  }
}

waiting_input_buffer::int_type waiting_input_buffer::underflow() {
  const ssize_t got = read_waiting(fd_, buffer_, sizeof buffer_);
  if (got < 0) throw failure{std::string("cannot read standard input: ") + std::strerror(errno)};
  if (got == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(buffer_[0]);
}

}  // namespace vort
