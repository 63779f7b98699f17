#include <sys/mman.h>

#include <cstdint>

#include "platform/zeroed_memory.hpp"

namespace vort {

// Maps one alignment more than asked, keeps an aligned stretch and gives back what lies
// around it.
void* map_zeroed(std::size_t bytes, std::size_t alignment) {
  void* mapping =
      ::mmap(nullptr, bytes + alignment, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANON, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  auto* start = static_cast<char*>(mapping);
  const std::size_t lead =
      (alignment - reinterpret_cast<std::uintptr_t>(start) % alignment) % alignment;
  if (lead > 0) ::munmap(start, lead);
  if (alignment - lead > 0) ::munmap(start + lead + bytes, alignment - lead);
  return start + lead;
}

void unmap_zeroed(void* start, std::size_t bytes) {
  ::munmap(start, bytes);
}

}  // namespace vort
