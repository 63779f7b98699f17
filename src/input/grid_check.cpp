#include "input/grid_check.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/failure.hpp"
#include "input/table_reader.hpp"

namespace vort {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Where an even spacing from the axis's first to its last knot puts knot `index`.
double evenly_spaced(const table_axis& axis, std::int32_t index) {
  return axis.first + index * axis.step;
}

std::optional<grid_fault> find_spread(const position_spread& spread,
                                      const std::array<table_axis, 3>& axes) {
  for (int a = 0; a < 3; ++a) {
    const axis_spread& positions = spread.axes[static_cast<std::size_t>(a)];
    for (std::size_t n = 0; n < positions.low.size(); ++n) {
      if (positions.high[n] - positions.low[n] > axes[static_cast<std::size_t>(a)].tolerance) {
        return grid_fault{break_kind::spread, a, static_cast<std::int32_t>(n)};
      }
    }
  }
  return std::nullopt;
}

std::optional<grid_fault> find_uneven(const position_spread& spread,
                                      const std::array<table_axis, 3>& axes) {
  for (int a = 0; a < 3; ++a) {
    const table_axis& axis = axes[static_cast<std::size_t>(a)];
    for (std::int32_t n = 1; n + 1 < axis.knots; ++n) {
      const double position = position_at(spread, a, n);
      if (std::fabs(position - evenly_spaced(axis, n)) > axis.tolerance) {
        return grid_fault{break_kind::uneven, a, n};  // NaN (unknown) fails the comparison
      }
    }
  }
  return std::nullopt;
}

// The first record of each index of one axis, and the spread of that index so far.
struct index_reference {
  std::int64_t record = 0;  // 0 while no record has given a position
  double position = nan;
  double low = nan, high = nan;
};

// A second reading that does not find what the first one found: the file was written to in
// between, by someone else.
failure changed_while_read(const table_file& table) {
  return failure{fault::table_changed, table.name};
}

// The first record whose position, along any axis, spreads its index beyond the tolerance.
grid_break first_spread_break(const table_file& table, const position_spread& spread,
                              const std::array<table_axis, 3>& axes, std::int64_t records) {
  std::array<std::vector<index_reference>, 3> references;
  for (int a = 0; a < 3; ++a) {
    references[static_cast<std::size_t>(a)].resize(
        static_cast<std::size_t>(count_along(spread.counts, a)));
  }
  knot_walk knot = walk_from(spread.counts, 0);
  std::optional<grid_break> found;
  for_each_record(table, records, [&](const record_view& record) {
    const std::int32_t index[3] = {knot.i, knot.j, knot.k};
    for (int a = 0; a < 3 && !found; ++a) {
      const double p = record.values[a];
      if (std::isnan(p)) continue;
      index_reference& ref =
          references[static_cast<std::size_t>(a)][static_cast<std::size_t>(index[a])];
      if (ref.record == 0) ref = {record.number, p, p, p};
      ref.low = std::min(ref.low, p);
      ref.high = std::max(ref.high, p);
      if (ref.high - ref.low <= axes[static_cast<std::size_t>(a)].tolerance) continue;
      found =
          grid_break{break_kind::spread, a,  knot,        record.number, record.line, p, ref.record,
                     ref.position,       {}, std::nullopt};
    }
    if (found) return false;
    next_knot(knot);
    return true;
  });
  if (!found) throw changed_while_read(table);
  return *found;
}

// The first record of the index that is not where an even spacing puts it.
grid_break first_uneven_record(const table_file& table, const position_spread& spread,
                               const std::array<table_axis, 3>& axes, grid_fault fault,
                               std::int64_t records) {
  const table_axis& axis = axes[static_cast<std::size_t>(fault.axis)];
  knot_walk knot = walk_from(spread.counts, 0);
  std::optional<grid_break> found;
  for_each_record(table, records, [&](const record_view& record) {
    const std::int32_t index[3] = {knot.i, knot.j, knot.k};
    const double p = record.values[fault.axis];
    if (index[fault.axis] == fault.index && !std::isnan(p)) {
      found = grid_break{break_kind::uneven,
                         fault.axis,
                         knot,
                         record.number,
                         record.line,
                         p,
                         0,
                         evenly_spaced(axis, fault.index),
                         axis,
                         std::nullopt};
      return false;
    }
    next_knot(knot);
    return true;
  });
  if (!found) throw changed_while_read(table);
  return *found;
}

}  // namespace

std::optional<grid_fault> find_grid_fault(const position_spread& spread) {
  const std::array<table_axis, 3> axes = table_axes(spread);
  if (const std::optional<grid_fault> fault = find_spread(spread, axes)) return fault;
  return find_uneven(spread, axes);
}

grid_break locate_break(const table_file& table, const position_spread& spread, grid_fault fault,
                        std::int64_t records) {
  const std::array<table_axis, 3> axes = table_axes(spread);
  if (fault.kind == break_kind::spread) return first_spread_break(table, spread, axes, records);
  return first_uneven_record(table, spread, axes, fault, records);
}

}  // namespace vort
