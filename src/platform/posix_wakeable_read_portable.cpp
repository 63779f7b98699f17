// Elsewhere a pipe wakes the waiter: a byte written to one end makes the other readable. The
// written end does not block, so a waker never waits on a full pipe.
#include <fcntl.h>
#include <unistd.h>

#include "platform/wakeable_read.hpp"

namespace vort {

wake_signal make_wake_signal() {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  for (const int end : ends) ::fcntl(end, F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  return {ends[0], ends[1]};
}

}  // namespace vort
