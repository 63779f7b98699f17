#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/wakeable_read.hpp"

namespace vort {

void close_wake_signal(wake_signal& wake) {
  if (wake.writable >= 0 && wake.writable != wake.readable) ::close(wake.writable);
  if (wake.readable >= 0) ::close(wake.readable);
  wake = {};
}

void send_wake(const wake_signal& wake) {
  // Eight bytes, as an eventfd takes them; a pipe takes them as well. A full pipe or counter
  // has been woken already.
  const std::uint64_t one = 1;
  if (wake.writable >= 0 && ::write(wake.writable, &one, sizeof one) < 0) {
    // The waiter is not waiting on a descriptor then.
  }
}

bool wait_readable_or_woken(file_descriptor fd, const wake_signal& wake) {
  if (wake.readable < 0) return false;
  pollfd watched[2] = {{fd, POLLIN, 0}, {wake.readable, POLLIN, 0}};
  while (::poll(watched, 2, -1) < 0) {
    if (errno != EINTR) return false;  // the read will tell what is wrong
  }
  return (watched[1].revents & POLLIN) != 0;
}

}  // namespace vort
