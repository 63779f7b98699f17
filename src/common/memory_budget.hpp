// Whether a run's arrays fit in the memory the system can give, asked before anything is
// allocated, so that a grid too large is refused at once instead of thrashing or being killed.
#pragma once

#include <cstdint>

namespace vort {

// The only message for memory that cannot be had.
inline constexpr const char* allocation_message = "Allocation would exceed memory limit";

// Bytes the system can give this process now: available memory and free swap, or less where
// a cgroup (v2) limit or an address-space limit leaves less. The largest value when nothing
// can be told.
std::uint64_t memory_room();

// Throws `failure` with `allocation_message` when `bytes` is more than `room`.
void check_memory_budget(std::uint64_t bytes, std::uint64_t room);

}  // namespace vort
