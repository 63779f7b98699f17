// The free space a file the converter fills for its own use must leave on its file system: a
// stream copied without end must not take the last of it from everything else on the machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/descriptor.hpp"

namespace vort {

// The reserve: 256 MB, or a sixteenth of a file system smaller than 4 GB (a small temporary
// file system must still take a table).
inline constexpr std::uint64_t largest_disk_reserve = std::uint64_t{256} << 20;
std::uint64_t disk_reserve(std::uint64_t file_system_bytes);

// What a file system has room for, as the system tells it.
struct disk_room {
  std::uint64_t size = 0;  // of the whole file system
  std::uint64_t free = 0;  // what an unprivileged process may still fill
};

// Of the file system that holds the open file `fd`; nothing when it cannot be told.
std::optional<disk_room> disk_room_of(file_descriptor fd);

// Whether `more` bytes more still leave the file system its reserve.
bool leaves_reserve(const disk_room& room, std::uint64_t more);

// The reserve as messages give it: "256 MB", "3 MB", or bytes below a megabyte.
std::string reserve_text(std::uint64_t bytes);

}  // namespace vort
