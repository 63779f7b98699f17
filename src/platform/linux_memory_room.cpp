// Linux tells the memory a process may have in /proc and in its cgroups' files.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "platform/memory_room.hpp"

namespace vort {
namespace {

// The whole of a small system file; empty when it cannot be read.
std::string read_system_file(const std::string& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char block[4096];
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got <= 0) break;
    text.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

// The least room that the limit files name in any of the directories.
std::uint64_t room_along(const std::vector<std::string>& directories, const char* limit_file,
                         const char* usage_file) {
  std::uint64_t room = no_limit_known;
  for (const std::string& directory : directories) {
    room = std::min(room, room_under_limit(read_system_file(directory + "/" + limit_file),
                                           read_system_file(directory + "/" + usage_file)));
  }
  return room;
}

std::uint64_t cgroup_room() {
  const own_cgroups own = parse_own_cgroups(read_system_file("/proc/self/cgroup"));
  const std::string mountinfo = read_system_file("/proc/self/mountinfo");
  std::uint64_t room = no_limit_known;
  if (!own.unified.empty()) {
    if (const auto mount = find_cgroup_mount(mountinfo, false)) {
      room = std::min(room, room_along(cgroup_directories(*mount, own.unified), "memory.max",
                                       "memory.current"));
    }
  }
  if (!own.memory.empty()) {
    if (const auto mount = find_cgroup_mount(mountinfo, true)) {
      room = std::min(room, room_along(cgroup_directories(*mount, own.memory),
                                       "memory.limit_in_bytes", "memory.usage_in_bytes"));
    }
  }
  return room;
}

// Bytes an address-space limit (ulimit -v) still leaves, or `no_limit_known` when none is set.
std::uint64_t address_space_room() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return no_limit_known;
  }
  const std::optional<std::uint64_t> pages = first_number(read_system_file("/proc/self/statm"));
  if (!pages) return no_limit_known;
  const std::uint64_t used = *pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t memory_room() {
  return std::min({meminfo_room(read_system_file("/proc/meminfo")).value_or(no_limit_known),
                   cgroup_room(), address_space_room()});
}

}  // namespace vort
