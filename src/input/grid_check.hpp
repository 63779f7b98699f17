// The positions that lead each record, checked against the grid that the counts imply.
// Record r is knot (i, j, k), z fastest; along each axis every record with the same index
// must sit at the same position, within a tolerance that the rounding of printed positions
// never exceeds and a neighbouring knot always does: 1% of the smallest step the table shows
// along the axis, but not less than 1e-6 of the largest position along the axis (which is all
// there is where an axis has one knot or all its positions are equal) and never more than a
// quarter of the step.
//
// While the table is read, only the least and the largest position of each index are kept
// (a few values per axis, whatever the table's size); spreads from several parts of a table
// merge. The first record that breaks the grid is found by reading the table once more,
// which only a table that is refused costs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
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

// Whether the positions are all zero (or all left out): such tables pass, and say nothing
// about the mesh.
inline bool positions_all_zero(const position_spread& spread) {
  return spread.scale == 0;
}

// An index whose positions spread beyond the tolerance, if there is one.
struct spread_fault {
  int axis;
  std::int32_t index;
};
std::optional<spread_fault> find_spread_fault(const position_spread& spread);

// Reads the table once more to find the first record that breaks the grid of `counts`, and
// describes it, e.g. `t.txt:124: record 122 is at y = 0.011 but knot (2, 1, 1) of a
// 21 x 11 x 11 grid shares y with record 1 (y = 0)`. The tolerances are those of `spread`.
std::string describe_first_break(const std::string& table_name, const position_spread& spread,
                                 std::int64_t records);

// "(i, j, k)" for the 0-based knot indices i, j, k: the knot as messages name it, from 1.
std::string knot_text(std::int64_t i, std::int64_t j, std::int64_t k);

// The shortest text that reads back as `value`.
std::string shortest_text(double value);

}  // namespace vort
