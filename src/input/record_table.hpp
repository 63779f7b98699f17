// The record table: the field values of every record of the solver table in memory, six
// doubles a row (real x, imaginary x, real y, imaginary y, real z, imaginary z), rows in file
// order and numbered from 1, so field f (0-based) of row r is element (r - 1) * 6 + f. The
// positions that lead each record are not kept.
// Knot (i, j, k) lives in row plane_start(i) + (j - 1) * Nz + (k - 1), that is
// (i - 1) * Ny * Nz + (j - 1) * Nz + k: z fastest, x slowest, as the solver writes them.
// Rows that no record fills hold zero.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "common/grid.hpp"
#include "input/mesh.hpp"

namespace vort {

inline constexpr int record_values = 9;  // in a record of the file: x, y, z, then the fields
inline constexpr int field_values = 6;   // in a row of the table

// Gives the table's storage back: a mapping of `mapped_bytes`, or, when that is 0, memory
// from the allocator.
struct storage_release {
  std::size_t mapped_bytes = 0;
  void operator()(double* storage) const;
};
using table_storage = std::unique_ptr<double[], storage_release>;

struct record_table {
  grid_counts counts;
  std::int64_t rows = 0;
  std::int64_t plane_rows = 0;            // Ny * Nz: rows of one x plane
  std::vector<std::int32_t> plane_start;  // entry i - 1 is plane_start(i)
  table_storage field_tab;                // rows * 6 values, zero-filled

  double* row(std::int64_t r) { return field_tab.get() + (r - 1) * field_values; }
  const double* row(std::int64_t r) const { return field_tab.get() + (r - 1) * field_values; }
};

// The row of knot (i, j, k), all 1-based: the one formula every reader of the table uses.
inline std::int64_t row_of(const record_table& table, std::int32_t i, std::int32_t j,
                           std::int32_t k) {
  return table.plane_start[static_cast<std::size_t>(i - 1)] +
         std::int64_t{j - 1} * table.counts.nz + (k - 1);
}

// Refuses grids that the record table cannot describe: a count below 1, more knots than a
// 32-bit row number reaches. Throws `failure`.
void check_grid_counts(grid_counts counts);

// Bytes that the axes, the plane index and the record table of a run will take.
std::uint64_t bytes_needed(grid_counts counts, mirror_mode mode);

// A zero-filled table of Nx * Ny * Nz rows with its plane index built, ready for the reader.
// Throws `failure` "Allocation would exceed memory limit" when the storage cannot be had.
record_table allocate_record_table(grid_counts counts);

void release_arrays(record_table& table, mesh::axes& axes);

}  // namespace vort
