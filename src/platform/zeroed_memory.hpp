// Large zeroed storage straight from the system: handed out zeroed page by page as it is first
// written, so nothing zeroes it beforehand, and aligned so that huge pages can back it.
#pragma once

#include <cstddef>

namespace vort {

// `bytes` (a multiple of `alignment`, itself a multiple of the page size) of zeroed memory at
// an address that is a multiple of `alignment`; null when the system has none to give.
void* map_zeroed(std::size_t bytes, std::size_t alignment);

// Gives back what `map_zeroed` returned, with the same `bytes`.
void unmap_zeroed(void* start, std::size_t bytes);

// Asks the system to back [start, start + bytes) with huge pages. A hint: without it the memory
// is the same, only slower to touch first.
void advise_huge_pages(void* start, std::size_t bytes);

}  // namespace vort
