#include "input/record_table.hpp"

#include <cstdint>
#include <new>
#include <string>

#include "common/failure.hpp"
#include "common/memory_budget.hpp"

#include <sys/mman.h>

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
  void* mapping = ::mmap(nullptr, rounded + huge_page, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return table_storage(nullptr, storage_release{0});
  // Keep a 2 MB-aligned stretch and give back what lies around it.
  auto* start = static_cast<char*>(mapping);
  const std::size_t lead =
      (huge_page - reinterpret_cast<std::uintptr_t>(start) % huge_page) % huge_page;
  if (lead > 0) ::munmap(start, lead);
  if (huge_page - lead > 0) ::munmap(start + lead + rounded, huge_page - lead);
#if defined(MADV_HUGEPAGE)
  ::madvise(start + lead, rounded, MADV_HUGEPAGE);  // a hint: without it the table is the same
#endif
  return table_storage(reinterpret_cast<double*>(start + lead), storage_release{rounded});
}

// plane_start(i) = (i - 1) * Ny * Nz + 1: the first row of x plane i.
void build_plane_index(record_table& table) {
  for (std::int32_t i = 1; i <= table.counts.nx; ++i) {
    table.plane_start[static_cast<std::size_t>(i - 1)] =
        static_cast<std::int32_t>((i - 1) * table.plane_rows + 1);
  }
}

}  // namespace

void storage_release::operator()(double* storage) const {
  if (mapped_bytes == 0) {
    std::free(storage);
  } else {
    ::munmap(storage, mapped_bytes);
  }
}

void check_grid_counts(grid_counts counts) {
  if (counts.nx < 1 || counts.ny < 1 || counts.nz < 1) {
    throw failure{"grid counts must be at least 1, got Nx=" + std::to_string(counts.nx) +
                  ", Ny=" + std::to_string(counts.ny) + ", Nz=" + std::to_string(counts.nz)};
  }
  if (counts.knots() < 0) {
    throw failure{"a grid of " + counts_text(counts) + " = " + knot_product_text(counts) +
                  " knots is more than the 2147483647 the record table can number"};
  }
}

std::uint64_t bytes_needed(grid_counts counts, mirror_mode mode) {
  const mesh::map_knots knots = mesh::knots_of_map(counts, mode);
  const auto axis_bytes = static_cast<std::uint64_t>(knots.x + knots.y + knots.z + 3) * 4;
  const auto index_bytes = static_cast<std::uint64_t>(counts.nx) * 4;
  const auto table_bytes = static_cast<std::uint64_t>(counts.knots()) * field_values * 8;
  return axis_bytes + index_bytes + table_bytes;
}

record_table allocate_record_table(grid_counts counts) {
  record_table table;
  table.counts = counts;
  table.rows = counts.knots();
  table.plane_rows = std::int64_t{counts.ny} * counts.nz;
  try {
    table.plane_start.resize(static_cast<std::size_t>(counts.nx));
  } catch (const std::bad_alloc&) {
    throw failure{allocation_message};
  }
  const auto bytes = static_cast<std::size_t>(table.rows) * field_values * sizeof(double);
  table.field_tab = zeroed_table_storage(bytes);
  if (!table.field_tab) throw failure{allocation_message};
  build_plane_index(table);
  return table;
}

void release_arrays(record_table& table, mesh::axes& axes) {
  table.plane_start = {};
  table.field_tab.reset();
  axes = {};
}

}  // namespace vort
