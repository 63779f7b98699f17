// The positions of a read table against the grid of its counts: what a conversion refuses
// and why, as a result that callers act on without reading its text. A table whose records
// break the grid is described at its first breaking record, together with the counts that
// the positions fit instead, where they fit a grid at all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "input/grid_check.hpp"
#include "input/position_spread.hpp"
#include "input/table_file.hpp"

namespace vort {

struct position_verdict {
  std::array<table_axis, 3> axes;   // as the positions show them
  std::optional<grid_break> fault;  // none: the positions fit the grid
};

// `spread` holds the positions of the first `records` records, read against its counts.
// `inferred` is the grid that the positions were found to form before the read, where the run
// has looked for it: then the table is not searched for it once more.
position_verdict check_positions(const table_file& table, const position_spread& spread,
                                 std::int64_t records,
                                 const std::optional<grid_counts>& inferred = std::nullopt);

}  // namespace vort
