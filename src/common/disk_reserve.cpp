#include "common/disk_reserve.hpp"

#include <algorithm>

#include "platform/disk_space.hpp"

namespace vort {

std::uint64_t disk_reserve(std::uint64_t file_system_bytes) {
  return std::min(largest_disk_reserve, file_system_bytes / 16);
}

std::optional<disk_room> disk_room_of(file_descriptor fd) {
  const std::optional<disk_space> space = disk_space_of(fd);
  if (!space) return {};
  return disk_room{space->size, space->free};
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
