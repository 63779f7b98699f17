// Whether a run's arrays fit in the memory the system can give, asked before anything is
// allocated, so that a grid too large is refused at once instead of thrashing or being killed.
// What the system can give is `memory_room`.
#pragma once

#include <cstdint>

#include "platform/memory_room.hpp"

namespace vort {

// Throws `failure` `out_of_memory` when `bytes` is more than `room`.
void check_memory_budget(std::uint64_t bytes, std::uint64_t room);

}  // namespace vort
