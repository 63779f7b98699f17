#include <sys/statvfs.h>

#include "platform/disk_space.hpp"

namespace vort {

std::optional<disk_space> disk_space_of(file_descriptor fd) {
  struct statvfs status {};
  if (::fstatvfs(fd, &status) != 0 || status.f_frsize == 0) return {};
  const auto unit = static_cast<std::uint64_t>(status.f_frsize);
  return disk_space{static_cast<std::uint64_t>(status.f_blocks) * unit,
                    static_cast<std::uint64_t>(status.f_bavail) * unit};
}

}  // namespace vort
