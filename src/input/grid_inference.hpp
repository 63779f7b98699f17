// The grid a table's positions form, found from the positions alone: the first run of
// records at the position of the first in x and y is one z line (Nz), the first run at its x
// one x plane (Ny * Nz), and the number of records makes the planes (Nx). The whole table is
// then checked against those counts as a conversion checks it.
//
// "At the same position" means first the position as printed (`printed_alike`). Where that
// forms no grid, it allows what the check allows: along each axis, the positions' distances
// from the first record fall into the steps of the axis (its first step and the multiples up
// to the whole span, which take every binary order of magnitude between them) and, far below
// them, the rounding or jitter of printed positions; the line between the two lies within the
// check's ceiling (`most_step_share`, in whole binary orders: between an eighth and a quarter
// of the smallest step), and never below `printed_rounding`. The tolerances are those of
// input/tolerances.hpp.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/grid.hpp"
#include "input/grid_check.hpp"
#include "input/position_spread.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"

namespace vort {

// Why the leading runs of equal positions make no grid at all.
enum class no_grid_reason {
  none,
  no_records,
  plane_not_whole_lines,     // the records that share the first x (`plane_records`) are not a
                             // whole number of z lines (`line_records`)
  records_not_whole_planes,  // `records` are not a whole number of x planes
  too_many_records,          // more than a grid may have knots
};

struct inferred_grid {
  grid_counts counts;
  std::int64_t records = 0;
  std::int64_t plane_records = 0;   // of the first x plane, as the leading runs give them
  std::int64_t line_records = 0;    // of the first z line
  position_spread spread;           // of every record, against `counts`
  std::optional<grid_break> fault;  // where the records break the grid of `counts`
  bool x_listed_fastest = false;    // with a break: x changes from the first record on
  no_grid_reason reason = no_grid_reason::none;
};

// `also_visit`, when given, sees every record, with its knot, of each pass that checks a grid
// (a pass starts again at record 1 when the first grid tried is not the one returned).
// Throws `failure` for a table that cannot be read, as a conversion does.
using record_visit = std::function<void(const record_view&, const knot_walk&)>;
inferred_grid infer_grid(const table_file& table, const record_visit& also_visit = {});

// Whether the positions form a grid: no reason against it and no break.
inline bool forms_grid(const inferred_grid& grid) {
  return grid.reason == no_grid_reason::none && !grid.fault;
}

}  // namespace vort
