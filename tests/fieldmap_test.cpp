#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "failure_of.hpp"
#include "fieldmap/axis_profile.hpp"
#include "fieldmap/converted_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/map_layout.hpp"
#include "fieldmap/output_files.hpp"
#include "platform/path_parts.hpp"

namespace vort {
namespace {

// The factors of each file for the stored part and for images across each plane: a reflection
// keeps E's tangential components and B's normal one at a magnetic wall, the others at an
// electric wall; B's axial sign is what E's is not. Flags other than B (b too) take E's
// signs and B's scale, mu0 in single precision.
TEST(BodyFactors, ParitiesPerPlaneWallAndFlag) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(vacuum_mu0), 0x35A8A9B8u);
  const double m = static_cast<double>(vacuum_mu0);
  const auto magnetic = wall_kind::magnetic;
  const auto electric = wall_kind::electric;
  struct factor_case {
    symmetry_list planes;
    char flag;
    image_mask images;            // the planes the knot is an image across
    std::vector<double> factors;  // Re x, Re y, Re z, Im x, Im y, Im z
  };
  const std::vector<factor_case> cases = {
      {{}, 'E', 0, {1, 1, 1, 1, 1, 1}},
      {{}, 'B', 0, {-m, -m, -m, m, m, m}},
      {{}, 'x', 0, {m, m, m, m, m, m}},
      {{}, 'e', 0, {m, m, m, m, m, m}},
      {{}, 'b', 0, {m, m, m, m, m, m}},
      // Y and X: the factors of the earlier mirrors, but for B's z component (div B = 0).
      {{{0, magnetic}}, 'E', 1, {-1, 1, 1, -1, 1, 1}},
      {{{0, magnetic}}, 'B', 1, {-m, m, m, m, -m, -m}},
      {{{0, magnetic}}, 'x', 1, {-m, m, m, -m, m, m}},
      {{{1, magnetic}}, 'E', 2, {1, -1, 1, 1, -1, 1}},
      {{{1, magnetic}}, 'B', 2, {m, -m, m, -m, m, -m}},
      // Electric walls, and the XY plane.
      {{{0, electric}}, 'E', 1, {1, -1, -1, 1, -1, -1}},
      {{{0, electric}}, 'B', 1, {m, -m, -m, -m, m, m}},
      {{{2, magnetic}}, 'E', 4, {1, 1, -1, 1, 1, -1}},
      {{{2, electric}}, 'E', 4, {-1, -1, 1, -1, -1, 1}},
      {{{2, electric}}, 'B', 4, {-m, -m, m, m, m, -m}},
      // An image across two or three planes carries the product of their signs.
      {{{0, magnetic}, {2, electric}}, 'E', 5, {1, -1, 1, 1, -1, 1}},
      {{{0, magnetic}, {1, magnetic}, {2, electric}}, 'E', 7, {1, 1, 1, 1, 1, 1}},
      {{{0, magnetic}, {1, magnetic}, {2, electric}}, 'B', 7, {m, m, m, -m, -m, -m}},
      {{{0, magnetic}, {1, magnetic}, {2, electric}}, 'B', 3, {m, m, -m, -m, -m, m}},
  };
  for (const factor_case& c : cases) {
    output_set set;
    const std::vector<body_file> files =
        body_files(set, select_field_kind(c.flag), symmetry_from_list(c.planes));
    for (std::size_t u = 0; u < files.size(); ++u) {
      EXPECT_EQ(files[u].factors.by_images[c.images], c.factors[u])
          << symmetry_text(c.planes) << " " << c.flag << " images " << c.images << " file " << u;
      EXPECT_EQ(files[u].field, file_roles[u].field);
    }
  }
  // The sign change is the multiplication: a zero's image under a reversing factor is -0.
  output_set set;
  const std::vector<body_file> files =
      body_files(set, select_field_kind('E'), symmetry_from_list({{0, magnetic}}));
  EXPECT_TRUE(std::signbit(0.0 * files[0].factors.by_images[1]));
}

// Which stored knot each map knot shows: the part below its plane is followed by its images,
// the part above is preceded by them; the knot on the plane is written once.
TEST(MapLayout, StoredKnotsAndImagesAlongEachAxis) {
  map_symmetry symmetry;
  symmetry.planes[0] = map_plane{wall_kind::magnetic, plane_side::last_knot};
  symmetry.planes[1] = map_plane{wall_kind::electric, plane_side::first_knot};
  const map_layout layout = layout_of({3, 3, 2}, symmetry);
  EXPECT_EQ(layout.axes[0].stored, (std::vector<std::int32_t>{0, 1, 2, 1, 0}));
  EXPECT_EQ(layout.axes[0].image, (std::vector<std::uint8_t>{0, 0, 0, 1, 1}));
  EXPECT_EQ(layout.axes[1].stored, (std::vector<std::int32_t>{2, 1, 0, 1, 2}));
  EXPECT_EQ(layout.axes[1].image, (std::vector<std::uint8_t>{1, 1, 0, 0, 0}));
  EXPECT_EQ(layout.axes[2].stored, (std::vector<std::int32_t>{0, 1}));
  const std::vector<knot_run> runs = runs_of(layout.axes[1]);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].first, 2);
  EXPECT_EQ(runs[0].last, 1);
  EXPECT_TRUE(runs[0].image);
  EXPECT_EQ(runs[1].first, 0);
  EXPECT_EQ(runs[1].last, 2);
  EXPECT_EQ(runs_of(layout_of({1, 1, 1}, symmetry).axes[0]).size(), 1u);  // one knot: no image
}

TEST(OutputNames, PrefixWholeBaseNameExtension) {
  const output_names b = build_output_names("cav", select_field_kind('B'));
  EXPECT_EQ(b, (output_names{"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz", "3D_Im-cav.bx",
                             "3D_Im-cav.by", "3D_Im-cav.bz"}));
  EXPECT_EQ(build_output_names("cav", select_field_kind('b'))[5], "3D_Im-cav.ez");
  // A directory part stays as typed; Windows takes either slash, a drive and a share.
  struct directory_case {
    std::string base, on_posix, on_windows;
  };
  const std::vector<directory_case> cases = {
      {"out/cav", "out/3D_Im-cav.ex", "out/3D_Im-cav.ex"},
      {"/cav", "/3D_Im-cav.ex", "/3D_Im-cav.ex"},
      {"out\\cav", "3D_Im-out\\cav.ex", "out\\3D_Im-cav.ex"},
      {"a/b\\cav", "a/3D_Im-b\\cav.ex", "a/b\\3D_Im-cav.ex"},
      {"C:cav", "3D_Im-C:cav.ex", "C:3D_Im-cav.ex"},
      {"C:\\cav", "3D_Im-C:\\cav.ex", "C:\\3D_Im-cav.ex"},
      {"\\\\server\\share\\cav", "3D_Im-\\\\server\\share\\cav.ex",
       "\\\\server\\share\\3D_Im-cav.ex"},
      {"\xce\x96\\\xe6\x97\xa5\xe6\x9c\xac", "3D_Im-\xce\x96\\\xe6\x97\xa5\xe6\x9c\xac.ex",
       "\xce\x96\\3D_Im-\xe6\x97\xa5\xe6\x9c\xac.ex"},
  };
  for (const directory_case& c : cases) {
    EXPECT_EQ(build_output_names(c.base, select_field_kind('E'))[3],
              backslash_separates_directories() ? c.on_windows : c.on_posix)
        << c.base;
  }
  EXPECT_EQ(build_output_names("a_base_name_of_25_letters", select_field_kind('E'))[5],
            "3D_Im-a_base_name_of_25_letters.ez");
}

TEST(Axes, CoordinatesAreRoundedOncePerOperation) {
  EXPECT_EQ(knot_coordinate(10, -0.01f, 0.001f), std::ldexp(1.0f, -30));
  const float plus_zero = knot_coordinate(0, -0.0f, 0.5f);
  EXPECT_EQ(plus_zero, 0.0f);
  EXPECT_FALSE(std::signbit(plus_zero));
}

TEST(Axes, CountsAndOrderPerSymmetry) {
  const mesh_data mesh{{0, -1, 2}, {99, 99, 99}, {0.5f, 1, -0.25f}};
  const auto at = [](int axis, plane_side side) {
    map_symmetry symmetry;
    symmetry.planes[static_cast<std::size_t>(axis)] = map_plane{wall_kind::magnetic, side};
    return symmetry;
  };
  const auto last = plane_side::last_knot, first = plane_side::first_knot;
  struct axes_case {
    grid_counts counts;
    map_symmetry symmetry;
    std::vector<float> x, y, z;
  };
  const std::vector<axes_case> cases = {
      {{3, 2, 1}, at(0, last), {0, 0.5f, 1, 1.5f, 2}, {-1, 0}, {2}},
      {{2, 2, 3}, at(1, last), {0, 0.5f}, {-1, 0, 1}, {2, 1.75f, 1.5f}},
      {{1, 1, 1}, at(0, last), {0}, {-1}, {2}},
      {{2, 2, 1}, {}, {0, 0.5f}, {-1, 0}, {2}},
      // A plane at the first knot: the stored knots reflected through it come first.
      {{3, 2, 1}, at(0, first), {-1, -0.5f, 0, 0.5f, 1}, {-1, 0}, {2}},
      {{2, 2, 3}, at(2, first), {0, 0.5f}, {-1, 0}, {2.5f, 2.25f, 2, 1.75f, 1.5f}},
  };
  for (const axes_case& c : cases) {
    const map_axes axes = build_map_axes(c.counts, mesh, c.symmetry);
    EXPECT_EQ(axes.coordinates[0], c.x);
    EXPECT_EQ(axes.coordinates[1], c.y);
    EXPECT_EQ(axes.coordinates[2], c.z);
  }
  EXPECT_EQ(build_map_axes({9999, 1, 1}, mesh, at(0, last)).coordinates[0].size(), 19997u);
  // An axis whose plane is at 0 comes out exactly symmetric.
  const mesh_data from_zero{{0, 0, 0}, {0, 0, 0}, {0.1f, 0.3f, 0.7f}};
  const std::vector<float> x = build_map_axes({11, 1, 1}, from_zero, at(0, first)).coordinates[0];
  for (std::size_t n = 0; n < x.size(); ++n) EXPECT_EQ(x[n], -x[x.size() - 1 - n]) << n;
  // Coordinates that overflow single precision are refused, naming the axis and the knot.
  const mesh_data huge{{0, 0, -3e38f}, {0, 0, 0}, {1, 1, -2e38f}};
  EXPECT_EQ(failure_of([&] {
              build_map_axes({1, 1, 3}, huge, {});
            }),
            "the mesh data put knot 2 of the z axis at -5e+38, beyond single precision");
}

// The check made before the table is read refuses what the build refuses, with its words,
// and passes what it builds: a plane at either end, the stored knots or their images.
TEST(Axes, CheckRefusesWhatTheBuildRefuses) {
  const auto at = [](int axis, plane_side side) {
    map_symmetry symmetry;
    symmetry.planes[static_cast<std::size_t>(axis)] = map_plane{wall_kind::magnetic, side};
    return symmetry;
  };
  const auto last = plane_side::last_knot, first = plane_side::first_knot;
  struct refusal_case {
    std::string name;
    grid_counts counts;
    mesh_data mesh;
    map_symmetry symmetry;
    std::string message;  // "" for axes that are built
  };
  const std::vector<refusal_case> cases = {
      {"fine, plane at the first knot", {3, 2, 1}, {{-1, 0, 0}, {}, {1, 1, 1}}, at(0, first), ""},
      {"a stored knot beyond",
       {3, 1, 1},
       {{2e38f, 0, 0}, {}, {1e38f, 1, 1}},
       {},
       "the mesh data put knot 3 of the x axis at 4e+38, beyond single precision"},
      {"a knot past the plane at the last knot beyond",
       {3, 1, 1},
       {{1e38f, 0, 0}, {}, {1e38f, 1, 1}},
       at(0, last),
       "the mesh data put knot 4 of the x axis at 4e+38, beyond single precision"},
      {"an image beyond",
       {1, 3, 1},
       {{0, -3e38f, 0}, {}, {1, 1e38f, 1}},
       at(1, first),
       "the mesh data put knot 1 of the y axis at -5e+38, beyond single precision"},
      {"a stored knot beyond, plane at the first knot",
       {1, 1, 3},
       {{0, 0, 2e38f}, {}, {1, 1, 1e38f}},
       at(2, first),
       "the mesh data put knot 3 of the z axis at 4e+38, beyond single precision"},
      {"a step of zero",
       {1, 2, 1},
       {{0, 5, 0}, {}, {1, 0, 1}},
       {},
       "the mesh data put knots 1 and 2 of the y axis both at y = 5 (dy = 0): a map's knots must "
       "be distinct"},
      {"a step of zero, images first",
       {3, 1, 1},
       {{0, 0, 0}, {}, {0, 1, 1}},
       at(0, first),
       "the mesh data put knots 1 and 2 of the x axis both at x = 0 (dx = 0): a map's knots must "
       "be distinct"},
      {"a step lost in single precision past the plane",
       {3, 1, 1},
       {{1.6777214e7f, 0, 0}, {}, {1, 1, 1}},
       at(0, last),
       "the mesh data put knots 3 and 4 of the x axis both at x = 16777216 in single precision "
       "(xmin = 16777214, dx = 1): a map's knots must be distinct"},
  };
  for (const refusal_case& c : cases) {
    const std::string built = failure_of([&] { build_map_axes(c.counts, c.mesh, c.symmetry); });
    const std::string checked = failure_of([&] { check_map_axes(c.counts, c.mesh, c.symmetry); });
    EXPECT_EQ(checked, built) << c.name;
    EXPECT_EQ(built, c.message.empty() ? "(no failure)" : c.message) << c.name;
  }
}

}  // namespace
}  // namespace vort

namespace vort {
namespace {

// Where a line falls among an axis's knots: the cell below it and the upper knot's weight,
// on rising and falling axes, on knots (the last one included, as the cell before it with the
// weight 1), and nowhere outside the axis or off a one-knot axis.
TEST(AxisProfile, CellOfALineOnAnAxis) {
  struct cell_case {
    std::vector<float> axis;
    double at;
    std::optional<axis_cell> cell;
  };
  const std::vector<cell_case> cases = {
      {{0, 1, 2, 4}, 3, axis_cell{2, 0.5}},
      {{0, 1, 2, 4}, 0, axis_cell{0, 0}},
      {{0, 1, 2, 4}, 1, axis_cell{1, 0}},
      {{0, 1, 2, 4}, 4, axis_cell{2, 1}},
      {{0, 1, 2, 4}, 0.25, axis_cell{0, 0.25}},
      {{0, 1, 2, 4}, -0.001, std::nullopt},
      {{0, 1, 2, 4}, 4.001, std::nullopt},
      {{4, 2, 1, 0}, 3, axis_cell{0, 0.5}},
      {{4, 2, 1, 0}, 0, axis_cell{2, 1}},
      {{4, 2, 1, 0}, 5, std::nullopt},
      {{0.5f}, 0.5, axis_cell{0, 0}},
      {{0.5f}, 0, std::nullopt},
      {{}, 0, std::nullopt},
      // A coordinate typed as the map prints it names the knot that single precision makes
      // of it, on a one-knot axis and at either end of a longer one.
      {{0.001f}, 0.001, axis_cell{0, 0}},
      {{0.009f, 0.01f, 0.011f}, 0.011, axis_cell{1, 1}},
      {{0.7f, 0.6f}, 0.7, axis_cell{0, 0}},
      {{0.001f}, 0.0011, std::nullopt},
      {{0.009f, 0.01f, 0.011f}, 0.0111, std::nullopt},
  };
  for (const cell_case& c : cases) {
    const std::optional<axis_cell> cell = cell_of(c.axis, c.at);
    ASSERT_EQ(cell.has_value(), c.cell.has_value()) << c.at;
    if (!cell) continue;
    EXPECT_EQ(cell->below, c.cell->below) << c.at;
    EXPECT_DOUBLE_EQ(cell->above_weight, c.cell->above_weight) << c.at;
  }
}

// A profile of constant parts along z from 0 to `length` (falling when negative).
axis_profile constant_profile(double length, std::array<double, profile_parts> parts) {
  axis_profile profile;
  const int knots = 201;
  for (int n = 0; n < knots; ++n) {
    profile.z.push_back(length * n / (knots - 1));
    for (std::size_t p = 0; p < profile_parts; ++p) profile.parts[p].push_back(parts[p]);
  }
  return profile;
}

// The figures of fields whose integrals are known: Ez = 3 + 4i over 0.1 m has |Ez| 5, the
// integral 0.5 V, and V = 5 |2 sin(kL/2) / k| at k = w / (beta c); a falling axis gives the
// same; an axial field's peak is |B| over all three components, and it has no voltage.
TEST(AxisProfile, FiguresOfKnownFields) {
  const double f = 1e9, c = 299792458.0;
  struct figure_case {
    double length;
    std::array<double, profile_parts> parts;
    bool axial;
    double beta;
    double peak, integral, voltage;  // voltage -1: none
  };
  const auto voltage = [&](double beta, double length) {
    const double k = 2 * std::numbers::pi * f / (beta * c);
    return 5 * std::fabs(2 * std::sin(k * length / 2) / k);
  };
  const std::vector<figure_case> cases = {
      {0.1, {0, 0, 0, 0, 3, 4}, false, 1, 5, 0.5, voltage(1, 0.1)},
      {-0.1, {0, 0, 0, 0, 3, 4}, false, 1, 5, 0.5, voltage(1, 0.1)},
      {0.1, {0, 0, 0, 0, 3, 4}, false, 0.3, 5, 0.5, voltage(0.3, 0.1)},
      {0.1, {0, 0, 0, 0, 3, 4}, false, 0.01, 5, 0.5, voltage(0.01, 0.1)},
      {1e-9, {0, 0, 0, 0, 3, 4}, false, 1, 5, 5e-9, voltage(1, 1e-9)},
      {0.1, {1, 0, 0, 2, 0, 2}, true, 1, 3, 0.2, -1},
  };
  for (const figure_case& c : cases) {
    const on_axis_figures figures =
        figures_of(constant_profile(c.length, c.parts), c.axial, {f, c.beta});
    EXPECT_DOUBLE_EQ(figures.peak, c.peak);
    EXPECT_NEAR(figures.integral_abs, c.integral, 1e-12);
    ASSERT_EQ(figures.voltage.has_value(), c.voltage >= 0);
    if (c.voltage < 0) continue;
    // The field linear between knots is integrated exactly, whatever k h.
    EXPECT_NEAR(*figures.voltage / c.voltage, 1, 1e-9) << c.beta;
    EXPECT_NEAR(*figures.transit_time_factor, c.voltage / c.integral, 1e-9);
  }
  EXPECT_FALSE(figures_of(constant_profile(0.1, {0, 0, 0, 0, 1, 0}), false, {}).voltage);
}

// The converted profile is the map as written: values times the file factors (mu0 and the
// turned real parts of B, the parity of a mirror image), bilinear between the four knots.
TEST(AxisProfile, ConvertedProfileIsTheWrittenMap) {
  const grid_counts counts{2, 2, 2};
  record_table table = allocate_record_table(counts);
  for (std::int32_t i = 1; i <= 2; ++i) {
    for (std::int32_t j = 1; j <= 2; ++j) {
      for (std::int32_t k = 1; k <= 2; ++k) {
        const std::int64_t at = values_index(table, i, j, k);
        for (int f = 0; f < field_values; ++f) {
          field_array(table, f)[at] = (f + 1) * (1 + 10.0 * (i - 1) + 100.0 * (j - 1) + k);
        }
      }
    }
  }
  const mesh_data mesh{{0, 0, 0}, {1, 1, 1}, {1, 1, 1}};
  // The part above an electric yz plane at x = 0: the images across it at x < 0.
  map_symmetry symmetry;
  symmetry.planes[0] = map_plane{wall_kind::electric, plane_side::first_knot};
  const map_axes axes = build_map_axes(counts, mesh, symmetry);
  const field_kind kind = select_field_kind('B');
  const auto expected = [&](double i_share, double j_share, std::int32_t k, int f) {
    const double value = (f + 1) * (1 + 10.0 * i_share + 100.0 * j_share + k);
    return value * (f % 2 == 0 ? -1.0 : 1.0) * static_cast<double>(vacuum_mu0);
  };
  const std::optional<axis_profile> inside =
      converted_profile(table, kind, symmetry, axes, 0.25, 0.5);
  ASSERT_TRUE(inside);
  ASSERT_EQ(inside->z.size(), 2u);
  for (int f = 0; f < field_values; ++f) {
    for (std::int32_t k = 1; k <= 2; ++k) {
      EXPECT_NEAR(inside->parts[static_cast<std::size_t>(f)][static_cast<std::size_t>(k - 1)],
                  expected(0.25, 0.5, k, f), 1e-15)
          << f;
    }
  }
  // At x = -1, the image of x = 1: B's x component (normal to the electric wall) turns its
  // sign, y and z keep theirs.
  const std::optional<axis_profile> image = converted_profile(table, kind, symmetry, axes, -1, 0);
  ASSERT_TRUE(image);
  for (int f = 0; f < field_values; ++f) {
    const double parity = f / 2 == 0 ? -1 : 1;
    EXPECT_NEAR(image->parts[static_cast<std::size_t>(f)][0], parity * expected(1, 0, 1, f), 1e-15)
        << f;
  }
  EXPECT_FALSE(converted_profile(table, kind, symmetry, axes, 1.5, 0));
  EXPECT_FALSE(converted_profile(table, kind, symmetry, axes, 0, -0.1));
}

}  // namespace
}  // namespace vort
