#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "failure_of.hpp"
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
