#include "input/record_table.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "common/memory_budget.hpp"
#include "platform/zeroed_memory.hpp"

namespace vort {
namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

// Zeroed storage for the table. A large table is a fresh mapping, which the system hands out
// zeroed page by page as the reader first writes it (in both reading threads at once), so
// nothing zeroes it beforehand; it is 2 MB-aligned and asks for transparent huge pages:
// first-touching 48 MB in 4 KB pages costs more than reading a million records on a virtual
// machine, in 2 MB pages almost nothing.
table_storage zeroed_table_storage(std::size_t bytes) {
  if (bytes < huge_page) {
    return table_storage(static_cast<double*>(std::calloc(bytes == 0 ? 1 : bytes, 1)),
                         storage_release{0});
  }
  const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
  void* start = map_zeroed(rounded, huge_page);
  if (start == nullptr) return table_storage(nullptr, storage_release{0});
  advise_huge_pages(start, rounded);
  return table_storage(static_cast<double*>(start), storage_release{rounded});
}

}  // namespace

void storage_release::operator()(double* storage) const {
  if (mapped_bytes == 0) {
    std::free(storage);
  } else {
    unmap_zeroed(storage, mapped_bytes);
  }
}

namespace {

std::vector<fact> facts_of(grid_counts counts) {
  return {std::int64_t{counts.nx}, std::int64_t{counts.ny}, std::int64_t{counts.nz}};
}

}  // namespace

void check_grid_counts(grid_counts counts) {
  if (counts.nx < 1 || counts.ny < 1 || counts.nz < 1) {
    throw failure{fault::counts_below_one, "", 0, facts_of(counts)};
  }
  if (counts.knots() < 0) {
    throw failure{fault::counts_beyond_numbering, "", 0, facts_of(counts)};
  }
}

std::uint64_t table_bytes(grid_counts counts) {
  return static_cast<std::uint64_t>(counts.knots()) * field_values * sizeof(double);
}

record_table allocate_record_table(grid_counts counts) {
  record_table table;
  table.counts = counts;
  table.rows = counts.knots();
  table.fields = zeroed_table_storage(static_cast<std::size_t>(table_bytes(counts)));
  if (!table.fields) throw failure{fault::out_of_memory, ""};
  return table;
}

}  // namespace vort
