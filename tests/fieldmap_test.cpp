#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "fieldmap/body_writer.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"

namespace vort {
namespace {

TEST(FieldKind, FlagsAreCaseSensitive) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(vacuum_mu0), 0x35A8A9B8u);
  struct kind_case {
    char flag;
    float mu0, sign;
    std::string_view ext_x;
  };
  for (const kind_case& c : std::vector<kind_case>{{'E', 1.0f, 1.0f, ".ex"},
                                                   {'B', vacuum_mu0, -1.0f, ".bx"},
                                                   {'e', vacuum_mu0, 1.0f, ".ex"},
                                                   {'b', vacuum_mu0, 1.0f, ".ex"},
                                                   {' ', vacuum_mu0, 1.0f, ".ex"}}) {
    const field_kind kind = select_field_kind(c.flag);
    EXPECT_EQ(kind.mu0, c.mu0) << c.flag;
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
      EXPECT_EQ(files[u].column, file_roles[u].column);
    }
  }
}

TEST(OutputNames, PrefixWholeBaseNameExtension) {
  const output_names b = build_output_names("cav", select_field_kind('B'));
  EXPECT_EQ(b.o_filer, (std::array<std::string, 3>{"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz"}));
  EXPECT_EQ(b.o_filei, (std::array<std::string, 3>{"3D_Im-cav.bx", "3D_Im-cav.by", "3D_Im-cav.bz"}));
  EXPECT_EQ(build_output_names("", select_field_kind('E')).o_filer[0], "3D_Re-.ex");
  EXPECT_EQ(build_output_names("a_base_name_of_25_letters", select_field_kind('E')).o_filei[2],
            "3D_Im-a_base_name_of_25_letters.ez");
}

}  // namespace
}  // namespace vort
