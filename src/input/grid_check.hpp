// Whether the positions of a read table fit a grid: along each axis every record with the same
// knot index within the axis's tolerance of the others, and the knots of the axis evenly
// spaced within it (the map places knot n at first + n * step, so an uneven table would be
// written at positions it does not hold). Where they do not, the record that shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/grid.hpp"
#include "input/position_spread.hpp"
#include "input/table_file.hpp"

namespace vort {

enum class break_kind {
  spread,  // the record is not where the first record of its knot index is
  uneven,  // the knots of its index are alike, but not where an even spacing puts them
};

// The first record at which the positions break the grid of their counts.
struct grid_break {
  break_kind kind = break_kind::spread;
  int axis = 0;
  knot_walk knot;  // the record's knot in the grid of the counts
  std::int64_t record = 0;
  std::int64_t line = 0;
  double position = 0;              // the record's position along the axis
  std::int64_t first_of_index = 0;  // spread: the first record of the same index
  double expected = 0;  // spread: that record's position; uneven: where the spacing puts it
  table_axis along;     // uneven: the axis's first and last position
  std::optional<grid_counts> fitting;  // other counts that the positions fit, where known
};

// An index of one axis at which the spread shows a break, if there is one.
struct grid_fault {
  break_kind kind;
  int axis;
  std::int32_t index;
};
std::optional<grid_fault> find_grid_fault(const position_spread& spread);

// Reads the first `records` records once more to find the record that shows `fault` first.
grid_break locate_break(const table_file& table, const position_spread& spread, grid_fault fault,
                        std::int64_t records);

}  // namespace vort
