#include "common/memory_budget.hpp"

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

}  // namespace

std::uint64_t memory_room() {
  const std::int64_t available_kb = meminfo_kb("MemAvailable");
  const std::int64_t swap_kb = meminfo_kb("SwapFree");
  std::uint64_t room = unlimited;
  if (available_kb >= 0) {
    room = static_cast<std::uint64_t>(available_kb + (swap_kb > 0 ? swap_kb : 0)) * 1024;
  }
  const std::uint64_t cgroup = cgroup_room();
  return cgroup < room ? cgroup : room;
}

void check_memory_budget(std::uint64_t bytes, std::uint64_t room) {
  if (bytes > room) throw failure{allocation_message};
}

}  // namespace vort
