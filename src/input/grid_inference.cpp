#include "input/grid_inference.hpp"

#include <cmath>
#include <limits>

#include "common/failure.hpp"
#include "input/table_reader.hpp"

namespace vort {
namespace {

constexpr std::int64_t every_record = std::numeric_limits<std::int64_t>::max();

// Lengths of the runs of records at the start of the table that share a position with the
// first record: in x and y (one z line), in x (one x plane).
struct leading_runs {
  std::int64_t records = 0;
  std::int64_t line = 0;       // records sharing x and y with the first
  std::int64_t plane = 0;      // records sharing x with the first
  bool x_moves_first = false;  // the second record differs from the first in x alone
};

// Positions that are the same knot's; a position left out matches any. The records of one
// knot print its position alike, so a little more than the rounding of a double suffices,
// and far from the origin (z at 150 m) a step of 0.1 mm still shows.
bool same_position(double a, double b, double scale) {
  return std::isnan(a) || std::isnan(b) ||
         std::fabs(a - b) <= 1e-9 * std::fmax(std::fabs(a), std::fabs(b)) + 1e-12 * scale;
}

leading_runs find_leading_runs(const std::string& table_name) {
  leading_runs runs;
  double first[3] = {std::nan(""), std::nan(""), std::nan("")};
  double scale = 0;
  bool in_line = true, in_plane = true;
  runs.records = for_each_record(table_name, every_record, [&](const record_view& record) {
    const double* p = record.values;
    for (int a = 0; a < 3; ++a) {
      if (!std::isnan(p[a])) scale = std::max(scale, std::fabs(p[a]));
    }
    for (int a = 0; a < 3; ++a) {
      if (std::isnan(first[a])) first[a] = p[a];  // the first position given along the axis
    }
    in_plane = in_plane && same_position(p[0], first[0], scale);
    in_line = in_line && in_plane && same_position(p[1], first[1], scale);
    if (in_plane) ++runs.plane;
    if (in_line) ++runs.line;
    if (record.number == 2) {
      runs.x_moves_first = !same_position(p[0], first[0], scale) &&
                           same_position(p[1], first[1], scale) &&
                           same_position(p[2], first[2], scale);
    }
    return true;
  });
  return runs;
}

}  // namespace

inferred_grid infer_grid(const std::string& table_name,
                         const std::function<void(const record_view&)>& also_visit) {
  inferred_grid grid;
  const leading_runs runs = find_leading_runs(table_name);
  grid.records = runs.records;
  if (runs.records == 0) {
    grid.reason = "it holds no records";
    return grid;
  }
  if (runs.plane % runs.line != 0) {
    grid.reason = "the first " + counted(runs.plane, "record") +
                  " share x, which is not a whole number of z lines of " +
                  counted(runs.line, "record");
    return grid;
  }
  if (runs.records % runs.plane != 0) {
    grid.reason = "its " + counted(runs.records, "record") +
                  " are not a whole number of x planes of " + counted(runs.plane, "record");
    return grid;
  }
  if (runs.records > max_knots) {
    grid.reason = "it holds more records than a grid may have knots";
    return grid;
  }
  grid.counts = {static_cast<std::int32_t>(runs.records / runs.plane),
                 static_cast<std::int32_t>(runs.plane / runs.line),
                 static_cast<std::int32_t>(runs.line)};
  grid.spread = start_spread(grid.counts);
  for_each_record(table_name, every_record, [&](const record_view& record) {
    add_positions(grid.spread, record.values);
    if (also_visit) also_visit(record);
    return true;
  });
  if (find_spread_fault(grid.spread)) {
    grid.reason = describe_first_break(table_name, grid.spread, grid.records);
    if (runs.x_moves_first) {
      grid.reason +=
          "; x changes from the first record to the second: the table seems to list "
          "x fastest, and records must list z fastest, x slowest";
    }
  }
  return grid;
}

}  // namespace vort
