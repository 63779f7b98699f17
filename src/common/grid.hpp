// Grid counts of the solver table and the walk of its knots, shared by every later step.
#pragma once

#include <cstdint>
#include <string>

namespace vort {

// The most knots a grid may have: table rows are numbered by 32-bit signed integers.
inline constexpr std::int64_t max_knots = 2147483647;

// Knot counts of the solver table along x, y and z. A symmetry plane doubles only the map.
struct grid_counts {
  std::int32_t nx = 0;
  std::int32_t ny = 0;
  std::int32_t nz = 0;

  // Nx * Ny * Nz when every count is at least 1 and the product is at most `max_knots`;
  // -1 otherwise. The last product is checked before it is formed, so none overflows.
  std::int64_t knots() const {
    if (nx < 1 || ny < 1 || nz < 1) return -1;
    const std::int64_t plane = std::int64_t{ny} * nz;  // below 2^62
    if (plane > max_knots / nx) return -1;
    return nx * plane;
  }
};

// The names of the axes, in the order of every per-axis array: x, y, z.
inline constexpr const char* axis_names[3] = {"x", "y", "z"};

// The count along axis 0 (x), 1 (y) or 2 (z).
inline std::int32_t count_along(grid_counts counts, int axis) {
  return axis == 0 ? counts.nx : axis == 1 ? counts.ny : counts.nz;
}

// "Nx x Ny x Nz", as messages name a grid.
std::string counts_text(grid_counts counts);

// The exact decimal product Nx * Ny * Nz of counts of at least 1, however large (up to 93
// bits): what a message that refuses the grid shows.
std::string knot_product_text(grid_counts counts);

// The knot of a record as the records follow one another in a table: z fastest, then y, x
// slowest. Indices from 0.
struct knot_walk {
  grid_counts counts;
  std::int32_t i = 0, j = 0, k = 0;
};

// "(i, j, k)" for the 0-based knot indices of a walk: the knot as messages name it, from 1.
std::string knot_text(const knot_walk& knot);

// The knot of record `record` (from 0).
inline knot_walk walk_from(grid_counts counts, std::int64_t record) {
  const std::int64_t plane = std::int64_t{counts.ny} * counts.nz;
  return {counts, static_cast<std::int32_t>(record / plane),
          static_cast<std::int32_t>(record % plane / counts.nz),
          static_cast<std::int32_t>(record % counts.nz)};
}

inline void next_knot(knot_walk& walk) {
  if (++walk.k == walk.counts.nz) {
    walk.k = 0;
    if (++walk.j == walk.counts.ny) {
      walk.j = 0;
      ++walk.i;
    }
  }
}

}  // namespace vort
