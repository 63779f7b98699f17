// How much a file system holds and has left.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/descriptor.hpp"

namespace vort {

struct disk_space {
  std::uint64_t size = 0;  // of the whole file system
  std::uint64_t free = 0;  // what an unprivileged process may still fill
};

// Of the file system that holds the open file `fd`; nothing when it cannot be told.
std::optional<disk_space> disk_space_of(file_descriptor fd);

}  // namespace vort
