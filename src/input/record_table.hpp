// The record table: the six field values of every record of the solver table (real x,
// imaginary x, real y, imaginary y, real z, imaginary z) in memory, as six arrays, one per
// field, each in the order the map's lines are written: x fastest, then y, z slowest. A grid
// line along x, which the body writes as one line, is then one contiguous run of values.
// The positions that lead each record are not kept.
//
// The records come z fastest, x slowest: record r (from 1) is knot (i, j, k), where
// r = (i - 1) * Ny * Nz + (j - 1) * Nz + k; its values go to place
// ((k - 1) * Ny + (j - 1)) * Nx + (i - 1) of each array. Knots that no record fills hold zero.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "common/grid.hpp"

namespace vort {

inline constexpr int field_values = 6;  // kept for each knot

// Gives the table's storage back: a mapping of `mapped_bytes`, or, when that is 0, memory
// from the allocator.
struct storage_release {
  std::size_t mapped_bytes = 0;
  void operator()(double* storage) const;
};
using table_storage = std::unique_ptr<double[], storage_release>;

struct record_table {
  grid_counts counts;
  std::int64_t rows = 0;  // records the grid holds: Nx * Ny * Nz
  table_storage fields;   // the field columns: six arrays of `rows` values, zero-filled
  double largest = 0;     // the largest |value| the reader stored, over all six columns
};

// Where knot (i, j, k), all 1-based, lies in each field's array: the one formula every
// reader of the table uses.
inline std::int64_t values_index(const record_table& table, std::int32_t i, std::int32_t j,
                                 std::int32_t k) {
  return (std::int64_t{k - 1} * table.counts.ny + (j - 1)) * table.counts.nx + (i - 1);
}

inline double* field_array(record_table& table, int field) {
  return table.fields.get() + field * table.rows;
}
inline const double* field_array(const record_table& table, int field) {
  return table.fields.get() + field * table.rows;
}

// Stores the six field values of the record at `knot` (0-based, as the records come).
inline void store_fields(record_table& table, const knot_walk& knot, const double* fields) {
  const std::int64_t index = values_index(table, knot.i + 1, knot.j + 1, knot.k + 1);
  double* const values = table.fields.get() + index;
  for (int f = 0; f < field_values; ++f) values[f * table.rows] = fields[f];
}

// Refuses grids that the record table cannot describe: a count below 1, more knots than a
// 32-bit row number reaches. Throws `failure`.
void check_grid_counts(grid_counts counts);

// Bytes that the record table of a grid takes.
std::uint64_t table_bytes(grid_counts counts);

// A zero-filled table of Nx * Ny * Nz rows, ready for the reader. Throws `failure`
// "Allocation would exceed memory limit" when the storage cannot be had.
record_table allocate_record_table(grid_counts counts);

}  // namespace vort
