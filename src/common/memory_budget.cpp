#include "common/memory_budget.hpp"

#include "common/failure.hpp"

namespace vort {

void check_memory_budget(std::uint64_t bytes, std::uint64_t room) {
  if (bytes > room) throw failure{allocation_message};
}

}  // namespace vort
