// VirtualAlloc hands out zeroed pages at multiples of 64 KB: a larger alignment is had by
// reserving more, giving it back and reserving the aligned stretch inside it (which another
// thread may take meanwhile, hence the attempts).
#include <windows.h>

#include <cstdint>

#include "platform/zeroed_memory.hpp"

namespace vort {

void* map_zeroed(std::size_t bytes, std::size_t alignment) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    void* wide = ::VirtualAlloc(nullptr, bytes + alignment, MEM_RESERVE, PAGE_NOACCESS);
    if (wide == nullptr) return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(wide);
    const std::uintptr_t aligned = (address + alignment - 1) / alignment * alignment;
    ::VirtualFree(wide, 0, MEM_RELEASE);
    void* start = ::VirtualAlloc(reinterpret_cast<void*>(aligned), bytes, MEM_RESERVE | MEM_COMMIT,
                                 PAGE_READWRITE);
    if (start != nullptr) return start;
  }
  return nullptr;
}

void unmap_zeroed(void* start, std::size_t) {
  ::VirtualFree(start, 0, MEM_RELEASE);
}

// Large pages need a privilege that users seldom have: the hint is left unasked.
void advise_huge_pages(void*, std::size_t) {}

}  // namespace vort
