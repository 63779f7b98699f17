#include <gtest/gtest.h>

#include <unistd.h>

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

}  // namespace
}  // namespace vort

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fieldmap/mirror.hpp"

namespace vort {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The XZ mirror writes a gathered copy of each plane when it is small and reads the table
// again otherwise; both must give the same bytes.
TEST(MirrorExpansion, GatheredAndDirectPlanesWriteTheSameBytes) {
  record_table table = allocate_record_table({3, 4, 2});
  for (std::int64_t r = 1; r <= table.rows; ++r) {
    for (int f = 0; f < field_values; ++f) table.row(r)[f] = static_cast<double>(r * 10 + f) / 7;
  }
  const field_kind kind = select_field_kind('B');
  const fs::path before = fs::current_path();
  std::vector<std::string> written[2];
  for (int direct = 0; direct < 2; ++direct) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("vort2pelta-mirror-" + std::to_string(::getpid()) + "-" + std::to_string(direct));
    fs::create_directories(dir);
    fs::current_path(dir);
    output_set set = open_output_files(build_output_names("m", kind));
    std::vector<double> scratch;
    std::atomic<bool> stop{false};
    const body_group group{&table,  mirror_mode::xz, body_files(set, kind, mirror_mode::xz),
                           nullptr, &stop,           direct == 1 ? nullptr : &scratch};
    for (std::int32_t k = 1; k <= table.counts.nz; ++k) write_xz_mirror_plane(group, k);
    close_output_files(set);
    for (const output_file& file : set.files) written[direct].push_back(contents(file.staged.name));
    fs::current_path(before);
    fs::remove_all(dir);
  }
  EXPECT_EQ(written[0], written[1]);
  EXPECT_EQ(std::count(written[0][0].begin(), written[0][0].end(), '\n'), 2 * 7);
}

}  // namespace
}  // namespace vort
