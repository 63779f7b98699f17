#include "input/grid_check.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/failure.hpp"
#include "input/table_reader.hpp"

namespace vort {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr const char* axis_names[3] = {"x", "y", "z"};

std::int32_t axis_count(grid_counts counts, int axis) {
  return axis == 0 ? counts.nx : axis == 1 ? counts.ny : counts.nz;
}

// The position of an index: its least one (the spread is within the tolerance anyway).
double position_of(const axis_spread& spread, std::int32_t index) {
  return spread.low[static_cast<std::size_t>(index)];
}

table_axis axis_of(const axis_spread& spread, std::int32_t knots, double scale) {
  table_axis axis;
  axis.knots = knots;
  axis.first = position_of(spread, 0);
  axis.last = position_of(spread, knots - 1);
  axis.step = knots > 1 ? (axis.last - axis.first) / (knots - 1) : 0;
  for (std::int32_t n = 1; n < knots; ++n) {
    const double distance = std::fabs(position_of(spread, n) - position_of(spread, n - 1));
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
  axis.tolerance = std::max({0.01 * axis.smallest_step, 1e-6 * magnitude, 1e-9 * scale});
  if (axis.smallest_step > 0) axis.tolerance = std::min(axis.tolerance, 0.25 * axis.smallest_step);
  return axis;
}

}  // namespace

std::string knot_text(std::int64_t i, std::int64_t j, std::int64_t k) {
  std::string text = "(";
  text += std::to_string(i + 1);
  text += ", ";
  text += std::to_string(j + 1);
  text += ", ";
  text += std::to_string(k + 1);
  text += ")";
  return text;
}

namespace {

// The first record with an index of one axis, and the spread of that index so far.
struct index_reference {
  std::int64_t record = 0;  // 0 while no record has given a position
  double position = nan;
  double low = nan, high = nan;
};

}  // namespace

position_spread start_spread(grid_counts counts, std::int64_t first_record) {
  position_spread spread;
  spread.counts = counts;
  for (int a = 0; a < 3; ++a) {
    const auto knots = static_cast<std::size_t>(axis_count(counts, a));
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
                                                axis_count(spread.counts, a), spread.scale);
  }
  return axes;
}

std::optional<spread_fault> find_spread_fault(const position_spread& spread) {
  const std::array<table_axis, 3> axes = table_axes(spread);
  for (int a = 0; a < 3; ++a) {
    const axis_spread& positions = spread.axes[static_cast<std::size_t>(a)];
    for (std::size_t n = 0; n < positions.low.size(); ++n) {
      if (positions.high[n] - positions.low[n] > axes[static_cast<std::size_t>(a)].tolerance) {
        return spread_fault{a, static_cast<std::int32_t>(n)};
      }
    }
  }
  return std::nullopt;
}

std::string describe_first_break(const std::string& table_name, const position_spread& spread,
                                 std::int64_t records) {
  const std::array<table_axis, 3> axes = table_axes(spread);
  std::array<std::vector<index_reference>, 3> references;
  for (int a = 0; a < 3; ++a) {
    references[static_cast<std::size_t>(a)].resize(
        static_cast<std::size_t>(axis_count(spread.counts, a)));
  }
  knot_walk knot = walk_from(spread.counts, 0);
  std::string description;
  for_each_record(table_name, records, [&](const record_view& record) {
    const std::int32_t index[3] = {knot.i, knot.j, knot.k};
    for (int a = 0; a < 3 && description.empty(); ++a) {
      const double p = record.values[a];
      if (std::isnan(p)) continue;
      index_reference& ref =
          references[static_cast<std::size_t>(a)][static_cast<std::size_t>(index[a])];
      if (ref.record == 0) ref = {record.number, p, p, p};
      ref.low = std::min(ref.low, p);
      ref.high = std::max(ref.high, p);
      if (ref.high - ref.low <= axes[static_cast<std::size_t>(a)].tolerance) continue;
      const std::string axis = axis_names[a];
      description = printable_item(table_name) + ":" + std::to_string(record.line) + ": record " +
                    std::to_string(record.number) + " is at " + axis + " = " + shortest_text(p) +
                    " but knot " + knot_text(knot.i, knot.j, knot.k) + " of a " +
                    counts_text(spread.counts) + " grid shares " + axis + " with record " +
                    std::to_string(ref.record) + " (" + axis + " = " + shortest_text(ref.position) +
                    ")";
    }
    if (!description.empty()) return false;
    next_knot(knot);
    return true;
  });
  return description;
}

std::string shortest_text(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace vort
