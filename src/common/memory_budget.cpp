#include "common/memory_budget.hpp"

#include "common/failure.hpp"

namespace vort {

void check_memory_budget(std::uint64_t bytes, std::uint64_t room) {
  if (bytes > room) throw failure{fault::out_of_memory, ""};
}

}  // namespace vort
