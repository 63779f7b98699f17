// The memory the system can give, read from the texts it shows: every text that is not as
// expected means "no limit known", never a failure or a wrong limit.
#include "common/memory_budget.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vort {
namespace {

constexpr std::uint64_t unknown = no_limit_known;

TEST(MemoryBudget, MeminfoLineByLine) {
  const std::string head = "MemTotal:       24000000 kB\nMemFree:         1000 kB\n";
  const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases = {
      {head + "MemAvailable:    2000 kB\nSwapFree:        500 kB\n", 2500 * 1024},
      // Lines without a unit (huge-page counts) before the ones read.
      {"HugePages_Total:       0\nHugePages_Free:        0\nMemAvailable: 3 kB\nSwapFree: 1 kB\n",
       4 * 1024},
      {head + "SwapFree:        500 kB\nMemAvailable:    2000 kB", 2500 * 1024},
      {head + "MemAvailable:    2000 kB\n", 2000 * 1024},
      {head + "SwapTotal: 0 kB\n", std::nullopt},
      {head + "MemAvailable:    lots kB\nSwapFree: 1 kB\n", std::nullopt},
      {head + "MemAvailable:    2000 kB\nSwapFree: -1 kB\n", std::nullopt},
      {head + "MemAvailable:    2000 MB\n", std::nullopt},
      {head + "MemAvailable:    99999999999999999999 kB\n", std::nullopt},
      {head + "MemAvailable:    18014398509481983 kB\nSwapFree: 1 kB\n", std::nullopt},
      {"", std::nullopt},
      {"MemAvailable", std::nullopt},
  };
  for (const auto& [text, room] : cases) EXPECT_EQ(meminfo_room(text), room) << text;
}

TEST(MemoryBudget, OwnCgroupsAndTheirMounts) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cgroups = {
      {"0::/user.slice/session-2.scope\n", "/user.slice/session-2.scope", ""},
      {"12:cpu,cpuacct:/a\n7:memory:/docker/abc\n1:name=systemd:/x\n0::/\n", "/", "/docker/abc"},
      {"4:blkio,memory:/batch/job7", "", "/batch/job7"},
      {"garbage\n\n0:\n", "", ""},
  };
  for (const auto& [text, unified, memory] : cgroups) {
    const own_cgroups own = parse_own_cgroups(text);
    EXPECT_EQ(own.unified, unified) << text;
    EXPECT_EQ(own.memory, memory) << text;
  }
  const std::string mountinfo =
      "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "30 22 0:26 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw,nsdelegate\n"
      "31 22 0:27 /docker/abc /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
      "32 22 0:28 / /sys/fs/cgroup/cpu\\040x rw - cgroup cgroup rw,cpu\n";
  const auto v2 = find_cgroup_mount(mountinfo, false);
  ASSERT_TRUE(v2);
  EXPECT_EQ(v2->root, "/");
  EXPECT_EQ(v2->point, "/sys/fs/cgroup");
  const auto v1 = find_cgroup_mount(mountinfo, true);
  ASSERT_TRUE(v1);
  EXPECT_EQ(v1->root, "/docker/abc");
  EXPECT_EQ(v1->point, "/sys/fs/cgroup/memory");
  EXPECT_FALSE(find_cgroup_mount("22 1 8:1 / / rw - ext4 /dev/sda1 rw\nbroken line\n", false));
  EXPECT_EQ(find_cgroup_mount("9 1 0:2 / /a\\040b rw - cgroup2 none rw\n", false)->point, "/a b");
  EXPECT_EQ(find_cgroup_mount("9 1 0:2 / /a\\09x rw - cgroup2 none rw\n", false)->point, "/a\\09x");
}

TEST(MemoryBudget, TheCgroupAndEveryOneAboveIt) {
  const cgroup_mount top{"/", "/sys/fs/cgroup"};
  const cgroup_mount nested{"/docker/abc", "/sys/fs/cgroup/memory"};
  const std::vector<std::tuple<cgroup_mount, std::string, std::vector<std::string>>> cases = {
      {top, "/", {"/sys/fs/cgroup"}},
      {top,
       "/user.slice/a.scope",
       {"/sys/fs/cgroup/user.slice/a.scope", "/sys/fs/cgroup/user.slice", "/sys/fs/cgroup"}},
      {nested, "/docker/abc", {"/sys/fs/cgroup/memory"}},
      {nested, "/docker/abc/job", {"/sys/fs/cgroup/memory/job", "/sys/fs/cgroup/memory"}},
      {nested, "/docker/abcd", {}},
      {nested, "/other", {}},
      {top, "/../../elsewhere", {}},
      {top, "relative", {}},
  };
  for (const auto& [mount, cgroup, directories] : cases) {
    EXPECT_EQ(cgroup_directories(mount, cgroup), directories) << cgroup;
  }
}

TEST(MemoryBudget, RoomUnderALimit) {
  const std::vector<std::tuple<std::string, std::string, std::uint64_t>> cases = {
      {"1073741824\n", "73741824\n", 1000000000},
      {"max\n", "123\n", unknown},
      {"100\n", "200\n", 0},
      {"9223372036854771712\n", "4096\n", 9223372036854767616u},  // v1 without a limit
      {"", "", unknown},                                          // no such file
      {"12G\n", "1\n", unknown},
      {"100\n", "", unknown},
      {"100\n", "lots\n", unknown},
      {"184467440737095516160\n", "1\n", unknown},
  };
  for (const auto& [limit, usage, room] : cases) {
    EXPECT_EQ(room_under_limit(limit, usage), room) << limit << " " << usage;
  }
}

}  // namespace
}  // namespace vort
