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
#include "fieldmap/output_files.hpp"

namespace vort {
namespace {

TEST(FieldKind, FlagsAreCaseSensitive) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(vacuum_mu0), 0x35A8A9B8u);
  struct kind_case {
    char flag;
    float scale, sign;
    std::string_view ext_x;
  };
  for (const kind_case& c : std::vector<kind_case>{{'E', 1.0f, 1.0f, ".ex"},
                                                   {'B', vacuum_mu0, -1.0f, ".bx"},
                                                   {'e', vacuum_mu0, 1.0f, ".ex"},
                                                   {'b', vacuum_mu0, 1.0f, ".ex"},
                                                   {' ', vacuum_mu0, 1.0f, ".ex"}}) {
    const field_kind kind = select_field_kind(c.flag);
    EXPECT_EQ(kind.scale, c.scale) << c.flag;
    EXPECT_EQ(kind.field_sign, c.sign) << c.flag;
    EXPECT_EQ(kind.ext[0], c.ext_x) << c.flag;
  }
}

// Stored-half and image factors of each file, for each mirror mode and flag: the normal
// component flips for E (and other flags), the other transverse one for B, z never.
TEST(BodyFactors, ParitiesPerModeAndFlag) {
  const double m = static_cast<double>(vacuum_mu0);
  EXPECT_EQ(m, 1.2566370060085319e-6);
  struct factor_case {
    mirror_mode mode;
    char flag;
    std::vector<double> stored, image;
  };
  const std::vector<factor_case> cases = {
      {mirror_mode::yz, 'E', {1, 1, 1, 1, 1, 1}, {-1, 1, 1, -1, 1, 1}},
      {mirror_mode::yz, 'B', {-m, -m, -m, m, m, m}, {-m, m, -m, m, -m, m}},
      {mirror_mode::yz, 'x', {m, m, m, m, m, m}, {-m, m, m, -m, m, m}},
      {mirror_mode::xz, 'E', {1, 1, 1, 1, 1, 1}, {1, -1, 1, 1, -1, 1}},
      {mirror_mode::xz, 'B', {-m, -m, -m, m, m, m}, {m, -m, -m, -m, m, m}},
      {mirror_mode::xz, 'x', {m, m, m, m, m, m}, {m, -m, m, m, -m, m}},
  };
  for (const factor_case& c : cases) {
    output_set set;
    const std::vector<body_file> files = body_files(set, select_field_kind(c.flag), c.mode);
    for (std::size_t u = 0; u < files.size(); ++u) {
      EXPECT_EQ(files[u].stored_factor, c.stored[u]) << c.flag << " file " << u;
      EXPECT_EQ(files[u].image_factor, c.image[u]) << c.flag << " file " << u;
      EXPECT_EQ(files[u].field, file_roles[u].field);
    }
  }
}

TEST(OutputNames, PrefixWholeBaseNameExtension) {
  const output_names b = build_output_names("cav", select_field_kind('B'));
  EXPECT_EQ(b, (output_names{"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz", "3D_Im-cav.bx",
                             "3D_Im-cav.by", "3D_Im-cav.bz"}));
  EXPECT_EQ(build_output_names("", select_field_kind('E'))[0], "3D_Re-.ex");
  EXPECT_EQ(build_output_names("a_base_name_of_25_letters", select_field_kind('E'))[5],
            "3D_Im-a_base_name_of_25_letters.ez");
}

// Records come z fastest and the body takes lines along x: the line (j, k) of a field must
// hold the values of the records of knots (1 .. Nx, j, k).
TEST(Axes, CoordinatesAreRoundedOncePerOperation) {
  EXPECT_EQ(knot_coordinate(10, -0.01f, 0.001f), std::ldexp(1.0f, -30));
  const float plus_zero = knot_coordinate(0, -0.0f, 0.5f);
  EXPECT_EQ(plus_zero, 0.0f);
  EXPECT_FALSE(std::signbit(plus_zero));
}

TEST(Axes, CountsAndOrderPerMirrorMode) {
  const mesh_data mesh{{0, -1, 2}, {99, 99, 99}, {0.5f, 1, -0.25f}};
  struct axes_case {
    grid_counts counts;
    mirror_mode mode;
    std::vector<float> x, y, z;
  };
  const std::vector<axes_case> cases = {
      {{3, 2, 1}, mirror_mode::yz, {0, 0.5f, 1, 1.5f, 2}, {-1, 0}, {2}},
      {{2, 2, 3}, mirror_mode::xz, {0, 0.5f}, {-1, 0, 1}, {2, 1.75f, 1.5f}},
      {{1, 1, 1}, mirror_mode::yz, {0}, {-1}, {2}},
      {{2, 2, 1}, mirror_mode::none, {0, 0.5f}, {-1, 0}, {2}},
  };
  for (const axes_case& c : cases) {
    const map_axes axes = build_map_axes(c.counts, mesh, c.mode);
    EXPECT_EQ(axes.coordinates[0], c.x);
    EXPECT_EQ(axes.coordinates[1], c.y);
    EXPECT_EQ(axes.coordinates[2], c.z);
  }
  EXPECT_EQ(build_map_axes({9999, 1, 1}, mesh, mirror_mode::yz).coordinates[0].size(), 19997u);
  // Coordinates that overflow single precision are refused, naming the axis and the knot.
  const mesh_data huge{{0, 0, -3e38f}, {0, 0, 0}, {1, 1, -2e38f}};
  EXPECT_EQ(failure_of([&] {
              build_map_axes({1, 1, 3}, huge, mirror_mode::none);
            }),
            "the mesh data put knot 2 of the z axis at -5e+38, beyond single precision");
}

TEST(RecordLayout, LinesAlongXHoldTheirRecords) {
  const grid_counts counts{3, 4, 2};
  record_table table = allocate_record_table(counts);
  knot_walk knot = walk_from(counts, 0);
  for (std::int64_t r = 1; r <= table.rows; ++r, next_knot(knot)) {
    double fields[field_values];
    for (int f = 0; f < field_values; ++f) fields[f] = static_cast<double>(r * 10 + f);
    store_fields(table, knot, fields);
  }
  for (std::int32_t k = 1; k <= counts.nz; ++k) {
    for (std::int32_t j = 1; j <= counts.ny; ++j) {
      for (int f = 0; f < field_values; ++f) {
        const double* const line = table_line(table, f, j, k);
        for (std::int32_t i = 1; i <= counts.nx; ++i) {
          const std::int64_t record = (i - 1) * counts.ny * counts.nz + (j - 1) * counts.nz + k;
          EXPECT_EQ(line[i - 1], static_cast<double>(record * 10 + f))
              << i << " " << j << " " << k << " " << f;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vort
