// Where there is no /proc, the room is what an address-space limit allows, used or not: the
// system tells neither the memory available nor what this process has taken already.
#include <sys/resource.h>

#include "platform/memory_room.hpp"

namespace vort {

std::uint64_t memory_room() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return no_limit_known;
  }
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace vort
