// Linux backs an anonymous mapping with transparent huge pages when asked.
#include <sys/mman.h>

#include "platform/zeroed_memory.hpp"

namespace vort {

void advise_huge_pages(void* start, std::size_t bytes) {
  ::madvise(start, bytes, MADV_HUGEPAGE);
}

}  // namespace vort
