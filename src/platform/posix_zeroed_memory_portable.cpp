// Where the system takes no hint for huge pages.
#include "platform/zeroed_memory.hpp"

namespace vort {

void advise_huge_pages(void*, std::size_t) {}

}  // namespace vort
