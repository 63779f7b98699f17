#include "common/memory_budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

#include "common/failure.hpp"

namespace vort {
namespace {

constexpr std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();

// A value in kB from /proc/meminfo, or -1.
std::int64_t meminfo_kb(const std::string& key) {
  std::ifstream meminfo("/proc/meminfo");
  std::string name;
  std::int64_t value = 0;
  std::string unit;
  while (meminfo >> name >> value >> unit) {
    if (name == key + ":") return value;
  }
  return -1;
}

// Bytes a cgroup (v2) memory limit still leaves, or `unlimited` when none is set.
std::uint64_t cgroup_room() {
  std::ifstream max_file("/sys/fs/cgroup/memory.max");
  std::ifstream current_file("/sys/fs/cgroup/memory.current");
  std::string max_text;
  std::uint64_t current = 0;
  if (!(max_file >> max_text) || max_text == "max" || !(current_file >> current)) {
    return unlimited;
  }
  const std::uint64_t limit = std::stoull(max_text);
  return limit > current ? limit - current : 0;
}

// Bytes an address-space limit (ulimit -v) still leaves, or `unlimited` when none is set.
std::uint64_t address_space_room() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return unlimited;
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  if (!(statm >> pages)) return unlimited;
  const std::uint64_t used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t memory_room() {
  const std::int64_t available_kb = meminfo_kb("MemAvailable");
  const std::int64_t swap_kb = meminfo_kb("SwapFree");
  std::uint64_t room = unlimited;
  if (available_kb >= 0) {
    room = static_cast<std::uint64_t>(available_kb + (swap_kb > 0 ? swap_kb : 0)) * 1024;
  }
  return std::min({room, cgroup_room(), address_space_room()});
}

void check_memory_budget(std::uint64_t bytes, std::uint64_t room) {
  if (bytes > room) throw failure{allocation_message};
}

}  // namespace vort
