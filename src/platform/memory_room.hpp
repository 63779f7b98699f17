// The memory the system can give this process now, asked before anything large is allocated.
// On Linux it is read from texts (/proc/meminfo, /proc/self/cgroup, the cgroup files): a text
// that cannot be read as expected means "no limit known", never a failure.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vort {

// What `memory_room` returns when nothing limits the run.
inline constexpr std::uint64_t no_limit_known = std::numeric_limits<std::uint64_t>::max();

// Bytes the system can give this process now: available memory and free swap, or less where
// a cgroup limit (v1 or v2, of the process's cgroup or of any above it) or an address-space
// limit leaves less. `no_limit_known` when nothing can be told. Where there is no /proc, only
// the address-space limit is known.
std::uint64_t memory_room();

// The readings behind Linux's `memory_room`, each a pure function of the texts it is given
// (so they are built, and tested, everywhere).

// MemAvailable plus SwapFree of a /proc/meminfo text, in bytes; nothing when MemAvailable is
// missing or a value cannot be read.
std::optional<std::uint64_t> meminfo_room(std::string_view meminfo);

// The process's cgroups, from /proc/self/cgroup: that of the v2 hierarchy ("0::/path") and
// that of the v1 memory controller ("7:memory:/path"); empty where there is none.
struct own_cgroups {
  std::string unified;
  std::string memory;
};
own_cgroups parse_own_cgroups(std::string_view proc_self_cgroup);

// Where a cgroup hierarchy is mounted, from /proc/self/mountinfo: the cgroup at the mount's
// root and the directory it is mounted on. `memory_v1`: the v1 hierarchy of the memory
// controller, else the v2 hierarchy. Nothing where it is not mounted.
struct cgroup_mount {
  std::string root;
  std::string point;
};
std::optional<cgroup_mount> find_cgroup_mount(std::string_view mountinfo, bool memory_v1);

// The directories of `cgroup` and of every cgroup above it up to the mount's root, the
// cgroup's own first; none when the cgroup does not lie under the mount.
std::vector<std::string> cgroup_directories(const cgroup_mount& mount, std::string_view cgroup);

// Bytes a limit file ("max" or a number) leaves above a usage file (a number);
// `no_limit_known` when either cannot be read.
std::uint64_t room_under_limit(std::string_view limit, std::string_view usage);

// The first decimal number of a text (blanks before it skipped), or nothing.
std::optional<std::uint64_t> first_number(std::string_view text);

}  // namespace vort
