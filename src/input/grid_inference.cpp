#include "input/grid_inference.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/failure.hpp"
#include "input/tolerances.hpp"

namespace vort {
namespace {

constexpr std::int64_t every_record = std::numeric_limits<std::int64_t>::max();

// Binary exponents of distances, as std::frexp gives them (a distance d lies in
// [2^(e - 1), 2^e)), from the least subnormal to the largest double.
constexpr int lowest_exponent = -1074;
constexpr int exponents = 1024 - lowest_exponent + 1;

// For one axis: the first record at each order of magnitude of its distance from the first
// record's position.
struct axis_distances {
  double first = std::numeric_limits<double>::quiet_NaN();  // the first position given
  double magnitude = 0;                                     // the largest |position|
  std::vector<std::int64_t> first_at = std::vector<std::int64_t>(exponents, 0);

  void add(double p, std::int64_t record) {
    if (std::isnan(p)) return;
    magnitude = std::max(magnitude, std::fabs(p));
    if (std::isnan(first)) first = p;
    const double distance = std::fabs(p - first);
    if (distance == 0) return;
    std::int64_t& at = first_at[static_cast<std::size_t>(exponent_index(distance))];
    if (at == 0) at = record;
  }

  // The lowest exponent at which a distance counts as a step, when positions are taken as
  // printed: above the rounding of a double.
  int exact_exponent() const { return exponent_index(printed_alike * magnitude); }

  // The same, when the positions may carry rounding or jitter up to what the check allows:
  // below the run of magnitudes that the steps fill from the largest distance down, by the
  // check's ceiling in whole binary orders (a distance of exponent e lies below 2^e, a step of
  // the lowest exponent of the run at or above 2^(e - 1)), and never below the rounding of
  // printed positions.
  int tolerant_exponent() const {
    int top = exponents - 1;
    while (top >= 0 && first_at[static_cast<std::size_t>(top)] == 0) --top;
    if (top < 0) return exponents;  // every position alike
    int low = top;
    while (low > 0 && first_at[static_cast<std::size_t>(low - 1)] != 0) --low;
    return std::max(low - binary_orders_below_one(most_step_share),
                    exponent_index(printed_rounding * magnitude));
  }

  // The first record at a distance of this exponent or more from the first record; 0 for none.
  std::int64_t first_beyond(int exponent) const {
    std::int64_t found = 0;
    for (int e = std::max(exponent, 0); e < exponents; ++e) {
      const std::int64_t at = first_at[static_cast<std::size_t>(e)];
      if (at != 0 && (found == 0 || at < found)) found = at;
    }
    return found;
  }

  static int exponent_index(double distance) {
    if (distance == 0) return 0;
    int exponent = 0;
    std::frexp(distance, &exponent);
    return exponent - lowest_exponent;
  }
};

// Lengths of the runs of records at the start of the table at the first record's position:
// in x and y (one z line), in x (one x plane).
struct leading_runs {
  std::int64_t line = 0;
  std::int64_t plane = 0;
  bool x_moves_first = false;  // the second record is a step away in x alone
};

struct table_runs {
  std::int64_t records = 0;
  leading_runs exact;     // positions taken as printed
  leading_runs tolerant;  // positions that may be off by what the check allows
};

table_runs find_leading_runs(const table_file& table) {
  std::array<axis_distances, 3> axes;
  table_runs runs;
  runs.records = for_each_record(table, every_record, [&](const record_view& record) {
    for (int a = 0; a < 3; ++a)
      axes[static_cast<std::size_t>(a)].add(record.values[a], record.number);
    return true;
  });
  // Runs end before the first record a step away.
  const auto run_before = [&](std::int64_t step_record) {
    return step_record == 0 ? runs.records : step_record - 1;
  };
  const auto runs_with = [&](auto exponent_of) {
    const std::int64_t x_step = axes[0].first_beyond(exponent_of(axes[0]));
    const std::int64_t y_step = axes[1].first_beyond(exponent_of(axes[1]));
    const std::int64_t z_step = axes[2].first_beyond(exponent_of(axes[2]));
    leading_runs found;
    found.plane = run_before(x_step);
    found.line = run_before(x_step == 0 ? y_step : y_step == 0 ? x_step : std::min(x_step, y_step));
    found.x_moves_first = x_step == 2 && y_step != 2 && z_step != 2;
    return found;
  };
  runs.exact = runs_with([](const axis_distances& axis) { return axis.exact_exponent(); });
  runs.tolerant = runs_with([](const axis_distances& axis) { return axis.tolerant_exponent(); });
  return runs;
}

// The grid of the runs, checked against every record; `reason` says why the runs make none.
inferred_grid grid_of_runs(const table_file& table, std::int64_t records, const leading_runs& runs,
                           const record_visit& also_visit) {
  inferred_grid grid;
  grid.records = records;
  grid.plane_records = runs.plane;
  grid.line_records = runs.line;
  if (records == 0) {
    grid.reason = no_grid_reason::no_records;
    return grid;
  }
  if (runs.plane % runs.line != 0) {
    grid.reason = no_grid_reason::plane_not_whole_lines;
    return grid;
  }
  if (records % runs.plane != 0) {
    grid.reason = no_grid_reason::records_not_whole_planes;
    return grid;
  }
  if (records > max_knots) {
    grid.reason = no_grid_reason::too_many_records;
    return grid;
  }
  grid.counts = {static_cast<std::int32_t>(records / runs.plane),
                 static_cast<std::int32_t>(runs.plane / runs.line),
                 static_cast<std::int32_t>(runs.line)};
  grid.spread = start_spread(grid.counts);
  for_each_record(table, every_record, [&](const record_view& record) {
    if (also_visit) also_visit(record, grid.spread.knot);
    add_positions(grid.spread, record.values);
    return true;
  });
  if (const std::optional<grid_fault> fault = find_grid_fault(grid.spread)) {
    grid.fault = locate_break(table, grid.spread, *fault, grid.records);
    grid.x_listed_fastest = runs.x_moves_first;
  }
  return grid;
}

}  // namespace

inferred_grid infer_grid(const table_file& table, const record_visit& also_visit) {
  const table_runs runs = find_leading_runs(table);
  // Positions as printed first; where they form no grid, positions that may be off by what
  // the check allows. The first answer stands when neither forms one.
  inferred_grid grid = grid_of_runs(table, runs.records, runs.exact, also_visit);
  const bool same_runs =
      runs.tolerant.line == runs.exact.line && runs.tolerant.plane == runs.exact.plane;
  if (forms_grid(grid) || same_runs) return grid;
  inferred_grid tolerant = grid_of_runs(table, runs.records, runs.tolerant, also_visit);
  return forms_grid(tolerant) ? tolerant : grid;
}

}  // namespace vort
