#include "input/position_check.hpp"

#include "common/failure.hpp"
#include "input/grid_inference.hpp"

namespace vort {
namespace {

// The counts whose grid the positions form, if they form one of other counts than these.
std::optional<grid_counts> fitting_counts(const table_file& table, grid_counts counts,
                                          const std::optional<grid_counts>& inferred) {
  std::optional<grid_counts> fit = inferred;
  if (!fit) {
    inferred_grid grid;
    try {
      grid = infer_grid(table);
    } catch (const failure&) {
      return std::nullopt;  // the refusal stands on its own
    }
    if (!forms_grid(grid)) return std::nullopt;
    fit = grid.counts;
  }
  if (fit->nx == counts.nx && fit->ny == counts.ny && fit->nz == counts.nz) return std::nullopt;
  return fit;
}

}  // namespace

position_verdict check_positions(const table_file& table, const position_spread& spread,
                                 std::int64_t records, const std::optional<grid_counts>& inferred) {
  position_verdict verdict{table_axes(spread), std::nullopt};
  if (const std::optional<grid_fault> fault = find_grid_fault(spread)) {
    verdict.fault = locate_break(table, spread, *fault, records);
    verdict.fault->fitting = fitting_counts(table, spread.counts, inferred);
  }
  return verdict;
}

}  // namespace vort
