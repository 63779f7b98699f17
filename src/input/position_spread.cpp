#include "input/position_spread.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "input/tolerances.hpp"

namespace vort {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

table_axis axis_of(const axis_spread& spread, std::int32_t knots, double scale) {
  table_axis axis;
  axis.knots = knots;
  axis.first = spread.low[0];
  axis.last = spread.low[static_cast<std::size_t>(knots - 1)];
  axis.step = knots > 1 ? (axis.last - axis.first) / (knots - 1) : 0;
  for (std::size_t n = 1; n < spread.low.size(); ++n) {
    const double distance = std::fabs(spread.low[n] - spread.low[n - 1]);
    if (distance > 0 && (axis.smallest_step == 0 || distance < axis.smallest_step)) {
      axis.smallest_step = distance;  // NaN distances (an index without positions) fail `> 0`
    }
  }
  // The rounding of a printed position grows with the position itself, so the floor comes
  // from this axis's own magnitudes (a beamline's z may lie 150 m out, its x within mm of 0);
  // it never reaches a quarter of a step, or a neighbouring knot could pass for the same.
  double magnitude = 0;
  for (std::size_t n = 0; n < spread.low.size(); ++n) {
    magnitude =
        std::fmax(magnitude, std::fmax(std::fabs(spread.low[n]), std::fabs(spread.high[n])));
  }
  axis.tolerance = std::max({step_share_tolerance * axis.smallest_step,
                             printed_rounding * magnitude, printed_alike * scale});
  if (axis.smallest_step > 0) {
    axis.tolerance = std::min(axis.tolerance, most_step_share * axis.smallest_step);
  }
  return axis;
}

}  // namespace

position_spread start_spread(grid_counts counts, std::int64_t first_record) {
  position_spread spread;
  spread.counts = counts;
  for (int a = 0; a < 3; ++a) {
    const auto knots = static_cast<std::size_t>(count_along(counts, a));
    spread.axes[static_cast<std::size_t>(a)].low.assign(knots, nan);
    spread.axes[static_cast<std::size_t>(a)].high.assign(knots, nan);
  }
  spread.knot = walk_from(counts, first_record);
  return spread;
}

void merge_spread(position_spread& into, const position_spread& from) {
  for (std::size_t a = 0; a < 3; ++a) {
    axis_spread& to = into.axes[a];
    const axis_spread& other = from.axes[a];
    for (std::size_t n = 0; n < to.low.size(); ++n) {
      to.low[n] = std::fmin(to.low[n], other.low[n]);  // fmin and fmax pass over a NaN
      to.high[n] = std::fmax(to.high[n], other.high[n]);
    }
  }
  into.scale = std::max(into.scale, from.scale);
}

std::array<table_axis, 3> table_axes(const position_spread& spread) {
  std::array<table_axis, 3> axes;
  for (int a = 0; a < 3; ++a) {
    axes[static_cast<std::size_t>(a)] = axis_of(spread.axes[static_cast<std::size_t>(a)],
                                                count_along(spread.counts, a), spread.scale);
  }
  return axes;
}

}  // namespace vort
