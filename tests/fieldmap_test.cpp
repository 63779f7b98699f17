#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "fieldmap/field_kind.hpp"
#include "fieldmap/line_writer.hpp"
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
  EXPECT_EQ(b.o_filer,
            (std::array<std::string, 3>{"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz"}));
  EXPECT_EQ(b.o_filei,
            (std::array<std::string, 3>{"3D_Im-cav.bx", "3D_Im-cav.by", "3D_Im-cav.bz"}));
  EXPECT_EQ(build_output_names("", select_field_kind('E')).o_filer[0], "3D_Re-.ex");
  EXPECT_EQ(build_output_names("a_base_name_of_25_letters", select_field_kind('E')).o_filei[2],
            "3D_Im-a_base_name_of_25_letters.ez");
}

// The reader stores records as they come (z fastest) and the body takes lines along x: the
// line (j, k) of a field must hold the values of the records of knots (1 .. Nx, j, k).
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
        const line_values line = table_line(table, f, j, k);
        for (std::int32_t i = 1; i <= counts.nx; ++i) {
          EXPECT_EQ(line.first[(i - 1) * line.stride],
                    static_cast<double>(row_of(table, i, j, k) * 10 + f))
              << i << " " << j << " " << k << " " << f;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vort
