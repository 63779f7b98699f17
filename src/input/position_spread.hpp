// The positions that lead each record, gathered while the table is read: record r is knot
// (i, j, k), z fastest, and along each axis every record with the same index should sit at
// the same position. Only the least and the largest position of each index are kept (a few
// values per axis, whatever the table's size); spreads from several parts of a table merge.
//
// The tolerance of an axis is what the rounding of printed positions never exceeds and a
// neighbouring knot always does: a share of the smallest step the table shows along the axis,
// with a floor from the positions' magnitudes and a ceiling below the step (input/tolerances.hpp).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"

namespace vort {

// The least and the largest position seen at each knot index of one axis (NaN where none).
struct axis_spread {
  std::vector<double> low;
  std::vector<double> high;
};

struct position_spread {
  grid_counts counts;
  std::array<axis_spread, 3> axes;  // x, y, z
  double scale = 0;                 // the largest magnitude of any position
  knot_walk knot;                   // the knot of the next record
};

// A spread for records from `first_record` (0-based) on.
position_spread start_spread(grid_counts counts, std::int64_t first_record = 0);

// Takes the positions of the next record (NaN for one left out) and moves to the next knot.
inline void add_positions(position_spread& spread, const double* xyz) {
  const std::int32_t index[3] = {spread.knot.i, spread.knot.j, spread.knot.k};
  for (int a = 0; a < 3; ++a) {
    const double p = xyz[a];
    if (p != p) continue;  // left out
    double& low = spread.axes[a].low[static_cast<std::size_t>(index[a])];
    double& high = spread.axes[a].high[static_cast<std::size_t>(index[a])];
    if (!(p >= low)) low = p;  // also when `low` is still NaN
    if (!(p <= high)) high = p;
    const double magnitude = p < 0 ? -p : p;
    if (magnitude > spread.scale) spread.scale = magnitude;
  }
  next_knot(spread.knot);
}

void merge_spread(position_spread& into, const position_spread& from);

// One axis as the positions show it.
struct table_axis {
  std::int32_t knots = 0;
  double first = 0;          // the position of index 1 (NaN when no record gave one)
  double last = 0;           // the position of the last index
  double step = 0;           // (last - first) / (knots - 1), 0 for one knot
  double smallest_step = 0;  // the least distance between neighbouring indices, 0 for none
  double tolerance = 0;
};
std::array<table_axis, 3> table_axes(const position_spread& spread);

// The position of an index: its least one (NaN when no record gave one).
inline double position_at(const position_spread& spread, int axis, std::int32_t index) {
  return spread.axes[static_cast<std::size_t>(axis)].low[static_cast<std::size_t>(index)];
}

// Whether the positions are all zero (or all left out): such tables pass, and say nothing
// about the mesh.
inline bool positions_all_zero(const position_spread& spread) {
  return spread.scale == 0;
}

}  // namespace vort
