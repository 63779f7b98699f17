// Reading a descriptor that may have been left non-blocking by whoever opened it (a standard
// input shared with another program): where there is nothing to read yet, the read waits for
// it with poll(2) instead of failing with EAGAIN, as a blocking read would.
#pragma once

#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace vort {

// As read(2), but never fails with EINTR or EAGAIN (which Linux's EWOULDBLOCK is): it reads
// again, or waits.
inline ssize_t read_waiting(int fd, char* data, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return -1;
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return -1;
  }
}

}  // namespace vort
