// The grid a table's positions form, found from the positions alone: the first run of
// records that share x and y is one z line (Nz), the first run that share x one x plane
// (Ny * Nz), and the number of records makes the planes (Nx). The whole table is then checked
// against those counts as a conversion checks it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/grid.hpp"
#include "input/grid_check.hpp"
#include "input/table_reader.hpp"

namespace vort {

struct inferred_grid {
  grid_counts counts;
  std::int64_t records = 0;
  position_spread spread;  // of every record, against `counts`
  std::string reason;      // why the positions form no grid; empty when they do
};

// `also_visit`, when given, sees every record of the pass that checks the inferred grid.
// Throws `failure` for a table that cannot be read, as a conversion does.
inferred_grid infer_grid(const std::string& table_name,
                         const std::function<void(const record_view&)>& also_visit = {});

}  // namespace vort
