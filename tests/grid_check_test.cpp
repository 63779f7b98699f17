// The positions of the records checked against the grid of the counts, the grid inferred
// from the positions alone, and the mesh answer compared with them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/table_findings.hpp"
#include "failure_of.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"
#include "input/plane_sides.hpp"
#include "input/position_check.hpp"
#include "input/table_reader.hpp"
#include "input/wall_check.hpp"
#include "temp_file.hpp"

namespace vort {
namespace {

// How a generated table writes its records.
enum class style {
  plain,          // one record a line, %.7e
  split,          // positions on one line, field values on the next
  slash_fields,   // positions, then a slash: the field values left out
  null_position,  // the y position of every third record left out (two commas)
  mixed_forms,    // positions as 1.5D-03, 0.0015 or 15e-4 by turns
  x_fastest,      // x varies fastest
  float_steps,    // positions accumulated in single precision, printed with 9 digits
  far_out,        // a beamline's frame: z near 150 m in steps of 1 mm, x and y steps of 0.1 mm
  jittered,       // every position off by up to 0.1% of its axis's step, printed with 9 digits
};

// A table of a grid starting at (-0.08, -0.08, 0) with steps (0.008, 0.008, 0.01), or all
// zero positions, of which the first `records` (all when negative) are written.
std::string grid_table(grid_counts grid, style how, long records = -1, bool zero = false) {
  std::string text = "header\nheader\n";
  const long total = static_cast<long>(grid.nx) * grid.ny * grid.nz;
  char line[256];
  float accumulated[3] = {-0.08f, -0.08f, 0};
  for (long r = 0; r < total && (records < 0 || r < records); ++r) {
    long i = r / (grid.ny * grid.nz), j = r / grid.nz % grid.ny, k = r % grid.nz;
    if (how == style::x_fastest)
      i = r % grid.nx, j = r / grid.nx % grid.ny, k = r / (grid.nx * grid.ny);
    double p[3] = {-0.08 + i * 0.008, -0.08 + j * 0.008, k * 0.01};
    if (how == style::far_out)
      p[0] = -2e-4 + i * 1e-4, p[1] = -2e-4 + j * 1e-4, p[2] = 150 + k * 1e-3;
    if (zero) p[0] = p[1] = p[2] = 0;
    if (how == style::jittered) {
      const double steps[3] = {0.008, 0.008, 0.01};
      for (int a = 0; a < 3; ++a) {
        p[a] += 1e-3 * steps[a] * static_cast<double>((r * 7919 + a * 104729) % 2001 - 1000) / 1000;
      }
    }
    const double f = static_cast<double>(r);
    switch (how) {
      case style::split:
        std::snprintf(line, sizeof line, "%.7e %.7e %.7e\n%g %g %g %g %g %g\n", p[0], p[1], p[2], f,
                      -f, 2 * f, 0.0, 1.0, f);
        break;
      case style::slash_fields:
        std::snprintf(line, sizeof line, "%.7e %.7e %.7e /\n", p[0], p[1], p[2]);
        break;
      case style::null_position:
        if (r % 3 == 0) {
          std::snprintf(line, sizeof line, "%.7e,,%.7e, 1,2,3,4,5,6\n", p[0], p[2]);
        } else {
          std::snprintf(line, sizeof line, "%.7e,%.7e,%.7e, 1,2,3,4,5,6\n", p[0], p[1], p[2]);
        }
        break;
      case style::mixed_forms: {
        const char* forms[3] = {"%.7fD+00", "%.9f", "%.6e"};
        std::string format = std::string(forms[r % 3]) + " " + forms[(r + 1) % 3] + " " +
                             forms[(r + 2) % 3] + " 1 2 3 4 5 6\n";
        std::snprintf(line, sizeof line, format.c_str(), p[0], p[1], p[2]);
        break;
      }
      case style::float_steps:
        // The solver's own positions: a float knot coordinate, printed with 9 digits.
        for (int a = 0; a < 3; ++a) {
          const long n = a == 0 ? i : a == 1 ? j : k;
          const float step = a == 2 ? 0.01f : 0.008f;
          accumulated[a] = (a == 2 ? 0.0f : -0.08f) + static_cast<float>(n) * step;
        }
        std::snprintf(line, sizeof line, "%.8e %.8e %.8e 1 2 3 4 5 6\n", accumulated[0],
                      accumulated[1], accumulated[2]);
        break;
      case style::far_out:
      case style::jittered:
        std::snprintf(line, sizeof line, "%.8e %.8e %.8e 1 2 3 4 5 6\n", p[0], p[1], p[2]);
        break;
      default:
        std::snprintf(line, sizeof line, "%.7e %.7e %.7e %g %g %g %g %g %g\n", p[0], p[1], p[2], f,
                      -f, 2 * f, 0.0, 1.0, f);
    }
    text += line;
  }
  return text;
}

// The check as a conversion makes it: "" when the table passes, else the description of the
// first record that breaks the grid, with FILE for the table's name.
std::string check(const std::string& text, grid_counts counts) {
  const temp_file file(text);
  const table_file table = open_table(file.name());
  record_table rows = allocate_record_table(counts);
  position_spread spread = start_spread(counts);
  const std::int64_t read = read_table(table, rows, &spread);
  const position_verdict verdict = check_positions(table, spread, read);
  if (!verdict.fault) return "";
  std::string description = describe_break(table.name, *verdict.fault, name_charset::ascii);
  return description.replace(0, table.name.size(), "FILE");
}

struct check_case {
  std::string name;
  std::string table;
  grid_counts counts;
  std::string message;  // "" for a table that passes
};

TEST(GridCheck, PositionsAgainstTheCounts) {
  const std::vector<check_case> cases = {
      {"exact", grid_table({3, 4, 5}, style::plain), {3, 4, 5}, ""},
      {"one knot along x", grid_table({1, 4, 5}, style::plain), {1, 4, 5}, ""},
      {"one knot along y", grid_table({3, 1, 5}, style::plain), {3, 1, 5}, ""},
      {"one knot along z", grid_table({3, 4, 1}, style::plain), {3, 4, 1}, ""},
      {"a single knot", grid_table({1, 1, 1}, style::plain), {1, 1, 1}, ""},
      {"records over two lines", grid_table({3, 4, 5}, style::split), {3, 4, 5}, ""},
      {"field values left out", grid_table({3, 4, 5}, style::slash_fields), {3, 4, 5}, ""},
      {"positions left out", grid_table({3, 4, 5}, style::null_position), {3, 4, 5}, ""},
      {"positions in mixed forms", grid_table({3, 4, 5}, style::mixed_forms), {3, 4, 5}, ""},
      {"float positions, 9 digits", grid_table({11, 21, 11}, style::float_steps), {11, 21, 11}, ""},
      {"short table", grid_table({3, 4, 5}, style::plain, 47), {3, 4, 5}, ""},
      {"far from the origin", grid_table({5, 5, 4}, style::far_out), {5, 5, 4}, ""},
      {"jittered by 0.1% of a step", grid_table({3, 4, 5}, style::jittered), {3, 4, 5}, ""},
      {"x unevenly spaced",
       "h\nh\n0 0 0 1 1 1 1 1 1\n0.1 0 0 1 1 1 1 1 1\n0.5 0 0 1 1 1 1 1 1\n",
       {3, 1, 1},
       "FILE:4: record 2 is at x = 0.1 but the x knots of a 3 x 1 x 1 grid are evenly spaced from "
       "0 to 0.5, which puts knot (2, 1, 1) at x = 0.25"},
      {"far from the origin, counts swapped",
       grid_table({5, 4, 4}, style::far_out),
       {4, 5, 4},
       "FILE:19: record 17 is at x = -1e-04 but knot (1, 5, 1) of a 4 x 5 x 4 grid shares x "
       "with record 1 (x = -2e-04); the positions fit a grid of 5 x 4 x 4 knots"},
      {"all positions zero, counts swapped",
       grid_table({3, 4, 5}, style::plain, -1, true),
       {4, 3, 5},
       ""},
      {"counts swapped",
       grid_table({3, 4, 5}, style::plain),
       {4, 3, 5},
       "FILE:18: record 16 is at y = -0.056 but knot (2, 1, 1) of a 4 x 3 x 5 grid shares y "
       "with record 1 (y = -0.08); the positions fit a grid of 3 x 4 x 5 knots"},
      {"Nz one too large, short table",
       grid_table({3, 4, 5}, style::plain),
       {3, 4, 6},
       "FILE:8: record 6 is at y = -0.072 but knot (1, 1, 6) of a 3 x 4 x 6 grid shares y with "
       "record 1 (y = -0.08); the positions fit a grid of 3 x 4 x 5 knots"},
      {"x fastest",
       grid_table({3, 4, 5}, style::x_fastest),
       {3, 4, 5},
       "FILE:4: record 2 is at x = -0.072 but knot (1, 1, 2) of a 3 x 4 x 5 grid shares x with "
       "record 1 (x = -0.08)"},
  };
  for (const check_case& c : cases) EXPECT_EQ(check(c.table, c.counts), c.message) << c.name;

  // One position a tenth of a step off, in the middle of the table: refused; a millionth of
  // the largest position off: the rounding of a printed position, accepted.
  std::string moved = grid_table({3, 4, 5}, style::plain);
  const std::string knot_30 = "-7.2000000e-02 -5.6000000e-02";
  ASSERT_NE(moved.find(knot_30), std::string::npos);
  std::string nudged = moved;
  moved.replace(moved.find(knot_30), knot_30.size(), "-7.2000000e-02 -5.5200000e-02");
  nudged.replace(nudged.find(knot_30), knot_30.size(), "-7.2000000e-02 -5.6000040e-02");
  EXPECT_EQ(check(moved, {3, 4, 5}),
            "FILE:38: record 36 is at y = -0.0552 but knot (2, 4, 1) of a 3 x 4 x 5 grid shares y "
            "with record 16 (y = -0.056)");
  EXPECT_EQ(check(nudged, {3, 4, 5}), "");

  // A table written to between its reading and the search for the record that breaks the grid
  // is refused as changed, not searched for a break that is no longer there.
  const temp_file file(grid_table({3, 4, 5}, style::plain));
  const table_file table = open_table(file.name());
  record_table rows = allocate_record_table({4, 3, 5});
  position_spread spread = start_spread({4, 3, 5});
  const std::int64_t read = read_table(table, rows, &spread);
  std::ofstream(file.name()) << grid_table({4, 3, 5}, style::plain);
  EXPECT_EQ(failure_of([&] { check_positions(table, spread, read); }),
            "\"" + table.name + "\" changed while it was read");
}

// A 3 x 2 x 2 grid from `origin` by `steps`, with the x position of knot (2, 2, 2) moved by
// `moved`: whether the check finds the positions off the grid.
bool breaks_grid(std::array<double, 3> origin, std::array<double, 3> steps, double moved) {
  const grid_counts counts{3, 2, 2};
  position_spread spread = start_spread(counts);
  for (std::int32_t i = 0; i < 3; ++i) {
    for (std::int32_t j = 0; j < 2; ++j) {
      for (std::int32_t k = 0; k < 2; ++k) {
        const double xyz[3] = {origin[0] + i * steps[0] + (i == 1 && j == 1 && k == 1 ? moved : 0),
                               origin[1] + j * steps[1], origin[2] + k * steps[2]};
        add_positions(spread, xyz);
      }
    }
  }
  return find_grid_fault(spread).has_value();
}

// The counts that grid inference finds for two records whose x positions differ by `apart`.
grid_counts inferred_counts(double x, double apart) {
  char text[128];
  std::snprintf(text, sizeof text, "h\nh\n%.17g 0 0 1 1 1 1 1 1\n%.17g 0 0 1 1 1 1 1 1\n", x,
                x + apart);
  const temp_file file(text);
  return infer_grid(open_table(file.name())).counts;
}

// An axis of 11 knots from `first` to `last`, as the positions show it.
table_axis axis_from(double first, double last) {
  return {11, first, last, (last - first) / 10, std::fabs(last - first) / 10, 0};
}

// The field on a plane normal to x, magnetic wall, E field: the forced Ex at `forced` of the
// table's largest value, the other parts at `others`.
plane_extremes plane_with(double forced, double others) {
  plane_extremes plane;
  for (std::size_t f = 0; f < field_values; ++f) plane.largest[f] = f < 2 ? forced : others;
  return plane;
}

struct boundary_case {
  std::string name;
  bool holds;
  bool expected;
};

// Each tolerance a little inside and a little outside the bound the README promises: 1% of
// the smallest step, a millionth of the axis's largest position, a billionth of the table's,
// never more than a quarter step; an end at zero within a millionth, an axis whole within a
// tenth of its length; a wall fitted within 1% of the largest value.
TEST(Tolerances, EachAtItsBoundary) {
  const double inside = 0.99, outside = 1.01;
  const auto off_grid = breaks_grid;
  const auto a_line_of_two = [](grid_counts counts) { return counts.nx == 1 && counts.nz == 2; };
  const auto fits = [](double forced) {
    return fit_to_wall(plane_with(forced, 1), 0, wall_kind::magnetic, false, 1).fits;
  };
  const std::vector<boundary_case> cases = {
      // A share of the smallest step (x from 0 by 1: the floors are far lower).
      {"step share, inside", off_grid({0, 0, 0}, {1, 1, 1}, inside * 0.01), false},
      {"step share, outside", off_grid({0, 0, 0}, {1, 1, 1}, outside * 0.01), true},
      // The rounding of a printed position, 1e5 out, above a share of a step of 0.5.
      {"printed rounding, inside", off_grid({1e5, 0, 0}, {0.5, 1, 1}, inside * 0.1), false},
      {"printed rounding, outside", off_grid({1e5, 0, 0}, {0.5, 1, 1}, outside * 0.1), true},
      // An axis whose positions are all alike, in a table whose y reaches 1e6.
      {"printed alike, inside", off_grid({0, 1e6, 0}, {0, 1, 1}, inside * 1e-3), false},
      {"printed alike, outside", off_grid({0, 1e6, 0}, {0, 1, 1}, outside * 1e-3), true},
      // The ceiling: the rounding of positions near 1e6 would reach a whole step of 1.
      {"most step share, inside", off_grid({1e6, 0, 0}, {1, 1, 1}, inside * 0.25), false},
      {"most step share, outside", off_grid({1e6, 0, 0}, {1, 1, 1}, outside * 0.25), true},
      // Grid inference: two positions this near are one, as printed (a z line of two records);
      // further apart, two x knots. Its line lies at the binary order of magnitude below,
      // 2^-30 for positions near 1.
      {"inference, printed alike, inside", a_line_of_two(inferred_counts(1, 0.9e-9)), true},
      {"inference, printed alike, outside", a_line_of_two(inferred_counts(1, 1.01e-9)), false},
      {"end at zero, inside", starts_at_zero(axis_from(inside * 1e-6, 1)), true},
      {"end at zero, outside", starts_at_zero(axis_from(outside * 1e-6, 1)), false},
      // From -1 to 1.5 the middle lies 0.25 from zero, a tenth of the length 2.5.
      {"whole axis, inside", holds_both_sides_of_zero(axis_from(-1, 1.5 - 0.01)), true},
      {"whole axis, outside", holds_both_sides_of_zero(axis_from(-1, 1.5 + 0.01)), false},
      {"wall, inside", fits(inside * 0.01), true},
      {"wall, outside", fits(outside * 0.01), false},
      {"vanishing field, inside", field_vanishes(plane_with(0, inside * 0.01), 1), true},
      {"vanishing field, outside", field_vanishes(plane_with(0, outside * 0.01), 1), false},
  };
  for (const boundary_case& c : cases) EXPECT_EQ(c.holds, c.expected) << c.name;
}

struct inference_case {
  std::string name;
  std::string table;
  grid_counts counts;  // when the positions form a grid
  std::string reason;  // otherwise: its start
};

TEST(GridInference, CountsFromThePositions) {
  const std::vector<inference_case> cases = {
      {"3 x 4 x 5", grid_table({3, 4, 5}, style::plain), {3, 4, 5}, ""},
      {"11 x 21 x 11", grid_table({11, 21, 11}, style::float_steps), {11, 21, 11}, ""},
      {"one z line", grid_table({1, 1, 7}, style::plain), {1, 1, 7}, ""},
      {"one x line", grid_table({7, 1, 1}, style::plain), {7, 1, 1}, ""},
      {"one y line", grid_table({1, 6, 1}, style::plain), {1, 6, 1}, ""},
      {"records over two lines", grid_table({2, 3, 4}, style::split), {2, 3, 4}, ""},
      {"positions left out", grid_table({3, 4, 5}, style::null_position), {3, 4, 5}, ""},
      {"short table",
       grid_table({3, 4, 5}, style::plain, 59),
       {},
       "its 59 records are not a whole number of x planes of 20 records"},
      {"x fastest",
       grid_table({3, 4, 5}, style::x_fastest),
       {},
       "FILE:6: record 4 is at y = -0.072 but knot (4, 1, 1) of a 60 x 1 x 1 grid shares y with "
       "record 1 (y = -0.08); x changes from the first record to the second: the table seems to "
       "list x fastest, and records must list z fastest, x slowest"},
      {"no records", "h\nh\n", {}, "it holds no records"},
      {"far from the origin", grid_table({5, 5, 4}, style::far_out), {5, 5, 4}, ""},
      {"a text trailer", grid_table({3, 4, 5}, style::plain) + "end of table\n", {3, 4, 5}, ""},
      {"jittered by 0.1% of a step", grid_table({3, 4, 5}, style::jittered), {3, 4, 5}, ""},
      {"jittered, two knots along y", grid_table({4, 2, 6}, style::jittered), {4, 2, 6}, ""},
      {"jittered, two knots along x", grid_table({2, 3, 9}, style::jittered), {2, 3, 9}, ""},
      {"x unevenly spaced",
       "h\nh\n0 0 0 1 1 1 1 1 1\n0.1 0 0 1 1 1 1 1 1\n0.5 0 0 1 1 1 1 1 1\n",
       {},
       "FILE:4: record 2 is at x = 0.1 but the x knots of a 3 x 1 x 1 grid are evenly spaced"},
      // The records end at a trailer of text, never at a damaged record: a conversion with
      // the counts found here must read the same records.
      {"a record cut short at the end",
       grid_table({3, 4, 5}, style::plain) + "1 2 3\n",
       {},
       "FILE:63: the file ends inside record 61 (3 of 9 values read)"},
      {"the last record ending in a letter",
       grid_table({3, 4, 5}, style::plain, 59) + "0.08 0.08 0.1 1 2 3 4 5 x\n",
       {},
       "FILE:62: cannot read \"x\" as a number (value 9 of record 60)"},
      {"NaN in the last record",
       grid_table({3, 4, 5}, style::plain, 59) + "0.08 0.08 0.1 1 NaN 3 4 5 6\n",
       {},
       "FILE:62: cannot read \"NaN\" as a number (value 5 of record 60)"},
      {"text with records after it",
       grid_table({3, 4, 5}, style::plain) + "a remark\n" +
           grid_table({1, 1, 2}, style::plain).substr(14),
       {},
       "FILE:63: cannot read \"a\" as a number (value 1 of record 61)"},
  };
  for (const inference_case& c : cases) {
    const temp_file file(c.table);
    inferred_grid grid;
    // A table that cannot be read fails as a conversion does; its message is the reason here.
    const std::string thrown = failure_of([&] { grid = infer_grid(open_table(file.name())); });
    std::string reason =
        thrown != "(no failure)" ? thrown : no_grid_message(grid, file.name(), name_charset::ascii);
    const std::string no_grid = "the positions in \"" + file.name() + "\" form no grid: ";
    if (reason.starts_with(no_grid)) reason.erase(0, no_grid.size());
    if (reason.rfind(file.name(), 0) == 0) reason.replace(0, file.name().size(), "FILE");
    if (c.reason.empty()) {
      EXPECT_EQ(reason, "") << c.name;
      EXPECT_EQ((std::array{grid.counts.nx, grid.counts.ny, grid.counts.nz}),
                (std::array{c.counts.nx, c.counts.ny, c.counts.nz}))
          << c.name;
    } else {
      EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason) << c.name << ": " << reason;
    }
  }
}

struct mesh_case {
  std::string name;
  mesh_data mesh;
  map_symmetry symmetry;
  std::vector<std::string> warnings;
};

// The axes that a generated 11 x 21 x 11 table's positions show.
std::array<table_axis, 3> axes_of_table(style how) {
  const temp_file file(grid_table({11, 21, 11}, how));
  record_table rows = allocate_record_table({11, 21, 11});
  position_spread spread = start_spread({11, 21, 11});
  read_table(open_table(file.name()), rows, &spread);
  return table_axes(spread);
}

TEST(MeshCheck, AnswerAgainstThePositions) {
  const std::array<table_axis, 3> axes = axes_of_table(style::float_steps);
  const std::vector<mesh_case> cases = {
      {"the table's own mesh",
       {{-0.08f, -0.08f, 0}, {0, 0.08f, 0.1f}, {0.008f, 0.008f, 0.01f}},
       {},
       {}},
      {"the whole map's maximum, Y mirror",
       {{-0.08f, -0.08f, 0}, {0.08f, 0.08f, 0.1f}, {0.008f, 0.008f, 0.01f}},
       symmetry_from_list({{0, wall_kind::magnetic}}),
       {}},
      {"a step ten times too large",
       {{-0.08f, -0.08f, 0}, {0, 0.08f, 0.1f}, {0.08f, 0.008f, 0.01f}},
       {},
       {"the mesh data give dx = 0.08 m, the table's x step is 0.008 (10 times smaller)"}},
      {"every kind, two axes",
       {{0, 0, 0}, {0.08f, 0.08f, 0.1f}, {0.008f, 0.004f, 0.02f}},
       {},
       {"the mesh data give xmin = 0 m and ymin = 0 m, the table's first x is -0.08 and the "
        "table's first y is -0.08",
        "the mesh data give dy = 0.004 m and dz = 0.02 m, the table's y step is 0.008 (2 times "
        "larger) and the table's z step is 0.01 (2 times smaller)",
        "the mesh data give xmax = 0.08 m, the table's last x is 7.45058e-09"}},
      {"maximum of neither half nor whole, X mirror",
       {{-0.08f, -0.08f, 0}, {0, 0.1f, 0.1f}, {0.008f, 0.008f, 0.01f}},
       symmetry_from_list({{1, wall_kind::magnetic}}),
       {"the mesh data give ymax = 0.1 m, the table's last y is 0.08 (0.24 over the whole map)"}},
  };
  for (const mesh_case& c : cases) {
    EXPECT_EQ(mesh_disagreement_lines(compare_mesh(c.mesh, axes, c.symmetry)), c.warnings)
        << c.name;
  }
  const mesh_data from_table = mesh_from_positions(axes_of_table(style::plain));
  EXPECT_EQ(from_table.min[0], -0.08f);
  EXPECT_EQ(from_table.max[1], 0.08f);
  EXPECT_EQ(from_table.step[0], 0.008f);
  EXPECT_EQ(from_table.step[2], 0.01f);
}

// What the field on an end plane of x is, for a magnetic wall on the YZ plane and an E field
// (the wall forces Ex to zero): it fits and tells, it vanishes, or it does not fit.
enum class end_field { tells, vanishes, misfits };

plane_extremes extremes_of(end_field field) {
  plane_extremes plane;
  for (std::size_t f = 0; f < field_values; ++f) {
    const bool forced = f < 2;  // Re Ex, Im Ex
    plane.largest[f] = field == end_field::vanishes            ? 0
                       : field == end_field::tells && forced   ? 0.001
                       : field == end_field::misfits && forced ? 0.5
                                                               : 1;
  }
  return plane;
}

struct side_case {
  std::string name;
  end_field first, last;
  double first_x, last_x;  // the axis's end positions; NaN for no positions
  plane_side side;
  side_doubt doubt;
};

TEST(PlaneSides, TheEndWhereTheFieldTells) {
  const double none = std::nan("");
  using enum end_field;
  const plane_side first_knot = plane_side::first_knot, last_knot = plane_side::last_knot;
  const std::vector<side_case> cases = {
      {"lower half", misfits, tells, -0.08, 0, last_knot, side_doubt::none},
      {"lower half, outside the structure at its first knot", vanishes, tells, -0.08, 0, last_knot,
       side_doubt::none},
      {"upper half", tells, vanishes, 0, 0.08, first_knot, side_doubt::none},
      {"descending lower half", tells, vanishes, 0, -0.08, first_knot, side_doubt::none},
      {"descending upper half", vanishes, tells, 0.08, 0, last_knot, side_doubt::none},
      {"upper half off zero", tells, vanishes, 0.1, 0.18, first_knot, side_doubt::none},
      {"origin at the structure's edge", misfits, tells, 0, 0.02, last_knot, side_doubt::none},
      {"both tell, zero first", tells, tells, 0, 0.05, first_knot, side_doubt::both_ends_fit},
      {"both tell, zero last: the lower part", tells, tells, -0.05, 0, last_knot, side_doubt::none},
      {"both tell, descending to zero", tells, tells, 0.05, 0, last_knot,
       side_doubt::both_ends_fit},
      {"both tell, off zero", tells, tells, 0.1, 0.15, last_knot, side_doubt::both_ends_fit},
      {"neither tells, zero first", misfits, vanishes, 0, 0.08, first_knot, side_doubt::none},
      {"neither tells, descending to zero", vanishes, misfits, 0.08, 0, last_knot,
       side_doubt::none},
      {"vanishes at zero, misfits beyond", vanishes, misfits, 0, 0.08, first_knot,
       side_doubt::field_vanishes},
      {"vanishes at both ends, off zero", vanishes, vanishes, 0.1, 0.2, last_knot,
       side_doubt::field_vanishes},
      {"whole axis", vanishes, vanishes, -0.08, 0.08, last_knot, side_doubt::axis_whole},
      {"whole axis, a knot longer above zero", vanishes, tells, -0.08, 0.096, last_knot,
       side_doubt::axis_whole},
      {"through zero, far from symmetric", misfits, tells, -0.02, 0.08, last_knot,
       side_doubt::none},
      {"no positions", tells, misfits, none, none, last_knot, side_doubt::none},
      {"no positions, vanishing at the last knot", tells, vanishes, none, none, last_knot,
       side_doubt::field_vanishes},
  };
  for (const side_case& c : cases) {
    const table_axis axis{11, c.first_x, c.last_x, (c.last_x - c.first_x) / 10, 0.008, 1e-4};
    const side_choice choice =
        choose_side({extremes_of(c.first), extremes_of(c.last)},
                    std::isnan(c.first_x) ? nullptr : &axis, 0, wall_kind::magnetic, false, 1.0);
    EXPECT_EQ(choice.side, c.side) << c.name;
    EXPECT_EQ(choice.doubt, c.doubt) << c.name;
  }
}

}  // namespace
}  // namespace vort
