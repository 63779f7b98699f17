// Any thread count gives the same run: the same transcript, the same messages and the same
// maps byte for byte, on a table large enough to be counted, read and written in parts, whose
// parts start wherever a cut falls (CR LF line ends, records over two lines, odd counts). The
// parts read at once trust each other only where records are one line each; how a part that
// cannot be trusted is read again is the table reader's unit test.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

constexpr int nx = 29, ny = 31, nz = 200;  // 179800 knots, 27 MB of text: three 8 MB parts

// Records of CR LF lines; in the last tenth, every 97th record runs over two lines;
// `bad_record`, when not 0, has a value that cannot be read.
std::string awkward_table(int bad_record = 0) {
  std::string text = "x y z\r\nRe Im\r\n";
  char line[200];
  int record = 0;
  for (int i = 0; i < nx; ++i) {
    for (int j = 0; j < ny; ++j) {
      for (int k = 0; k < nz; ++k) {
        ++record;
        const double v = (i + 1) * 0.37 - j * 1.3e-3 + k * 7.1e4;
        const bool last_tenth = record > nx * ny * nz / 10 * 9;
        const char* split = last_tenth && record % 97 == 0 ? "\r\n" : " ";
        std::snprintf(line, sizeof line,
                      "%15.7e %15.7e %15.7e%s%.17g %15.7e %15.7e %.9g %15.7e %15.7e\r\n", i * 2e-3,
                      j * 1e-3, k * 5e-4, split, v, -v, 1 / v, v * 1e-9, 0.0, -0.0);
        text += line;
        if (record == bad_record) text.replace(text.rfind("e-"), 2, "e-+");
      }
    }
  }
  return text;
}

struct thread_case {
  std::string name;
  std::string table;  // the file's name in the scratch directory
  std::string mirror;
};

}  // namespace

TEST(Threads, EveryCountGivesTheSameRun) {
  const fs::path dir = make_temp_dir();
  const std::string text = awkward_table();
  write_file(dir / "t.txt", text);
  write_file(dir / "bad.txt", awkward_table(nx * ny * nz * 5 / 6));
  gzFile gz = gzopen((dir / "t.txt.gz").c_str(), "wb1");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
  const std::vector<thread_case> cases = {
      {"whole", "t.txt", "F"},
      {"a mirror at x", "t.txt", "Y"},
      {"a mirror at y", "t.txt", "X"},
      {"compressed", "t.txt.gz", "F"},
      {"a bad value in the last part", "bad.txt", "F"},
  };
  const std::vector<std::string> maps = {"3D_Re-m.bx", "3D_Re-m.by", "3D_Re-m.bz",
                                         "3D_Im-m.bx", "3D_Im-m.by", "3D_Im-m.bz"};
  for (const thread_case& c : cases) {
    std::string first_out, first_err;
    std::vector<std::string> first_maps;
    for (const int threads : {1, 2, 3, 8}) {
      const fs::path run_dir = dir / ("run" + std::to_string(threads));
      fs::create_directories(run_dir);
      const std::string what = c.name + ", " + std::to_string(threads) + " threads";
      const auto run = run_vort2pelta(
          run_dir,
          {"--threads=" + std::to_string(threads), "--mesh=auto", "--mirror=" + c.mirror,
           std::to_string(nx), std::to_string(ny), std::to_string(nz), "../" + c.table, "m", "B"},
          "", {.stdin_path = "/"});
      std::vector<std::string> written;
      for (const std::string& name : maps) {
        written.push_back(fs::exists(run_dir / name) ? read_file(run_dir / name) : "(none)");
      }
      fs::remove_all(run_dir);
      if (threads == 1) {
        EXPECT_EQ(run.status, c.name.starts_with("a bad value") ? 1 : 0) << what << run.err;
        first_out = run.out;
        first_err = run.err;
        first_maps = written;
        continue;
      }
      EXPECT_EQ(run.out, first_out) << what;
      EXPECT_EQ(run.err, first_err) << what;
      EXPECT_TRUE(written == first_maps) << what;
    }
  }
  fs::remove_all(dir);
}

TEST(Threads, CountsOutsideOneTo64AreRefused) {
  const fs::path dir = make_temp_dir();
  for (const std::string value : {"0", "65", "-1", "two", "", "2x"}) {
    const auto run = run_vort2pelta(dir, {"--threads=" + value, "1", "1", "1", "t", "m", "B"}, "");
    EXPECT_EQ(run.status, 1) << value;
    EXPECT_EQ(run.err, "VORT2Pelta: --threads=" + value +
                           ": the thread count is a whole number from 1 to 64\n")
        << value;
  }
  fs::remove_all(dir);
}
