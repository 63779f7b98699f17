// Linux has a counter descriptor for waking a waiter: one descriptor, never full.
#include <sys/eventfd.h>

#include "platform/wakeable_read.hpp"

namespace vort {

wake_signal make_wake_signal() {
  const file_descriptor counter = ::eventfd(0, EFD_CLOEXEC);
  return {counter, counter};
}

}  // namespace vort
