#include "common/disk_reserve.hpp"

#include <sys/statvfs.h>

#include <algorithm>

namespace vort {

std::uint64_t disk_reserve(std::uint64_t file_system_bytes) {
  return std::min(largest_disk_reserve, file_system_bytes / 16);
}

std::optional<disk_room> disk_room_of(int fd) {
  struct statvfs status {};
  if (::fstatvfs(fd, &status) != 0 || status.f_frsize == 0) return {};
  const auto unit = static_cast<std::uint64_t>(status.f_frsize);
  return disk_room{static_cast<std::uint64_t>(status.f_blocks) * unit,
                   static_cast<std::uint64_t>(status.f_bavail) * unit};
}

bool leaves_reserve(const disk_room& room, std::uint64_t more) {
  const std::uint64_t reserve = disk_reserve(room.size);
  return room.free >= more && room.free - more >= reserve;
}

std::string reserve_text(std::uint64_t bytes) {
  constexpr std::uint64_t megabyte = std::uint64_t{1} << 20;
  if (bytes < megabyte) return std::to_string(bytes) + " bytes";
  return std::to_string(bytes / megabyte) + " MB";
}

}  // namespace vort
