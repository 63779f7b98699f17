// Runs without questions: --mesh and --mirror give the same maps as the answers and read
// nothing; --mesh=auto gives the maps of the mesh that --inspect shows, auto counts those of
// typed ones; a gzip table the maps of the plain one, from a file or a pipe; --preview a
// picture of the map as written; --format=json the description a script reads.
#include <gtest/gtest.h>

#include <zlib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "decoded_png.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "gzip_bytes.hpp"
#include "input/line_counter.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "preview/picture.hpp"
#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::files_in;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

const fs::path example = fs::path(VORT2PELTA_EXAMPLES_DIR) / "half_cavity.txt";
const std::string example_mesh = "-0.08,-0.08,0, 0,0.08,0.1, 0.008,0.008,0.01";
const std::vector<std::string> maps = {"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz",
                                       "3D_Im-cav.bx", "3D_Im-cav.by", "3D_Im-cav.bz"};

struct scratch {
  fs::path dir = make_temp_dir();
  scratch() { fs::copy_file(example, dir / "half_cavity.txt"); }
  ~scratch() { fs::remove_all(dir); }
  std::vector<std::string> maps_written() const {
    std::vector<std::string> texts;
    for (const std::string& name : maps) texts.push_back(read_file(dir / name));
    return texts;
  }
};

std::vector<std::string> with(std::vector<std::string> options, const std::string& table) {
  options.insert(options.end(), {"11", "21", "11", table, "cav", "B"});
  return options;
}

// Standard input a directory: a run that read it would fail.
const e2e::run_options no_input{.stdin_path = "/"};

// A run in the scratch directory that asks nothing.
e2e::run_output run_unasked(const scratch& s, const std::vector<std::string>& args) {
  const auto run = run_vort2pelta(s.dir, args, "", no_input);
  EXPECT_EQ(run.status, 0) << run.err;
  return run;
}

TEST(Options, AnswersGivenAsOptionsReadNothing) {
  for (const char mirror : {'F', 'Y', 'X'}) {
    scratch asked, given;
    const auto dialogue =
        run_vort2pelta(asked.dir, with({}, "half_cavity.txt"), example_mesh + "\n" + mirror + "\n");
    const auto options = run_vort2pelta(
        given.dir,
        with({"--mesh=" + example_mesh, "--mirror", std::string(1, mirror)}, "half_cavity.txt"), "",
        no_input);
    EXPECT_EQ(options.status, 0) << options.err;
    EXPECT_EQ(dialogue.err, options.err);
    // The same transcript without the two prompts.
    const std::string prompts =
        " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):\n"
        " Magnetic mirror:Y,X,F(False)\n";
    ASSERT_EQ(dialogue.out.rfind(prompts, 0), 0u);
    EXPECT_EQ(options.out, dialogue.out.substr(prompts.size()));
    EXPECT_EQ(options.out.substr(0, 4), mirror == 'F' ? " ful" : std::string(" ") + mirror + "Z ");
    EXPECT_EQ(given.maps_written(), asked.maps_written()) << mirror;
  }
}

// The maps reach the disk before they replace the earlier ones: each new file is written out
// before the renames (the picture too), its directory after them; --no-sync, for scratch
// output, waits for neither and writes the same maps. Seen in the system calls, where strace
// is there to show them.
TEST(Options, NoSyncSkipsTheFlushesAndKeepsTheMaps) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  // LeakSanitizer stops a traced process: the calls are watched in the other builds.
  if (e2e::address_sanitizer_build) GTEST_SKIP() << "left to the build without AddressSanitizer";
  struct sync_case {
    std::vector<std::string> options;
    int files_written_out;
    int directories_written_out;
  };
  std::vector<std::string> reference;
  for (const sync_case& c : std::vector<sync_case>{{{}, 6, 1},
                                                   {{"--preview"}, 7, 1},
                                                   {{"--no-sync"}, 0, 0},
                                                   {{"--no-sync", "--preview"}, 0, 0}}) {
    scratch s;
    const fs::path trace = s.dir.parent_path() / (s.dir.filename().string() + ".trace");
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--mesh=" + example_mesh, "--mirror=Y"});
    const auto run =
        run_vort2pelta(s.dir, with(options, "half_cavity.txt"), "",
                       {.stdin_path = "/",
                        .launcher = "strace -f -qq -e trace=fdatasync,fsync -o " + trace.string()});
    const std::string label =
        c.options.empty() ? "default" : c.options[0] + " " + std::to_string(c.options.size());
    EXPECT_EQ(run.status, 0) << label << run.err;
    std::istringstream calls(read_file(trace));
    int files = 0, directories = 0;
    for (std::string line; std::getline(calls, line);) {
      if (line.find("fdatasync(") != std::string::npos) ++files;
      if (line.find(" fsync(") != std::string::npos) ++directories;
    }
    fs::remove(trace);
    EXPECT_EQ(files, c.files_written_out) << label;
    EXPECT_EQ(directories, c.directories_written_out) << label;
    if (reference.empty()) reference = s.maps_written();
    EXPECT_EQ(s.maps_written(), reference) << label;
  }
}

TEST(Options, MeshAutoIsTheMeshThatInspectShows) {
  scratch inspected, typed, automatic;
  const auto inspection =
      run_vort2pelta(inspected.dir, {"--inspect", "half_cavity.txt"}, "", no_input);
  EXPECT_EQ(inspection.status, 0) << inspection.err;
  EXPECT_EQ(files_in(inspected.dir), std::vector<std::string>{"half_cavity.txt"});
  const std::size_t at = inspection.out.find("\nmesh: ");
  ASSERT_NE(at, std::string::npos);
  const std::string mesh_line =
      inspection.out.substr(at + 7, inspection.out.find('\n', at + 1) - at - 7);
  EXPECT_EQ(mesh_line, "-0.08,-0.08,0,0,0.08,0.1,0.008,0.008,0.01");
  EXPECT_NE(inspection.out.find("\nconvert: VORT2Pelta --mesh=auto --symmetry=yz:magnetic 11 21 11 "
                                "half_cavity.txt <base> B\n"),
            std::string::npos);
  EXPECT_EQ(run_vort2pelta(typed.dir, with({}, "half_cavity.txt"), mesh_line + "\nY\n").status, 0);
  EXPECT_EQ(run_vort2pelta(automatic.dir,
                           with({"--mesh=auto", "--symmetry=yz:magnetic"}, "half_cavity.txt"), "",
                           no_input)
                .status,
            0);
  EXPECT_EQ(automatic.maps_written(), typed.maps_written());
}

TEST(Options, AutoCountsAreTheTypedOnes) {
  scratch typed, automatic, mixed;
  const std::vector<std::string> options = {"--mesh=" + example_mesh, "--mirror=Y"};
  const auto typed_run = run_unasked(typed, with(options, "half_cavity.txt"));
  std::vector<std::string> all_auto = options;
  all_auto.insert(all_auto.end(), {"auto", "auto", "auto", "half_cavity.txt", "cav", "B"});
  const auto auto_run = run_vort2pelta(automatic.dir, all_auto, "", no_input);
  std::vector<std::string> one_auto = options;
  one_auto.insert(one_auto.end(), {"11", "auto", "11", "half_cavity.txt", "cav", "B"});
  const auto mixed_run = run_vort2pelta(mixed.dir, one_auto, "", no_input);
  EXPECT_EQ(auto_run.status, 0) << auto_run.err;
  EXPECT_EQ(mixed_run.status, 0) << mixed_run.err;
  // The echo shows the counts found.
  EXPECT_EQ(auto_run.out, typed_run.out);
  EXPECT_EQ(mixed_run.out, typed_run.out);
  EXPECT_EQ(automatic.maps_written(), typed.maps_written());
  EXPECT_EQ(mixed.maps_written(), typed.maps_written());
}

// Any gzip file of the table gives the transcript and the maps of the plain table: one
// member or several, stored or deflated, padded with zeros, inflated in a thread of its own or
// (where no thread can be had: each would need a 1 GB stack) on the reading thread.
TEST(CompressedTable, SameMapsAndMessagesOfTheDecompressedText) {
  scratch plain;
  const std::string text = read_file(example);
  const std::string answers = example_mesh + "\nY\n";
  const auto plain_run = run_vort2pelta(plain.dir, with({}, "half_cavity.txt"), answers);
  const std::size_t third = text.size() / 3;
  struct gzip_case {
    std::string name;
    std::string file;
    e2e::run_options options;
  };
  const std::vector<gzip_case> cases = {
      {"one member", gzip_member(text)},
      {"three members", gzip_member(text.substr(0, third)) +
                            gzip_member(text.substr(third, third), 1) +
                            gzip_member(text.substr(2 * third), 9)},
      {"stored", gzip_member(text, 0)},
      {"zero padding", gzip_member(text) + std::string(512, '\0')},
      {"no thread to be had",
       gzip_member(text),
       {.shell_prefix = "ulimit -s 1000000; ulimit -v 600000;", .needs_own_memory = true}},
  };
  for (const gzip_case& c : cases) {
    if (c.options.needs_own_memory && e2e::address_sanitizer_build) continue;
    scratch compressed;
    write_file(compressed.dir / "half_cavity.txt.gz", c.file);
    const auto gzip_run =
        run_vort2pelta(compressed.dir, with({}, "half_cavity.txt.gz"), answers, c.options);
    EXPECT_EQ(gzip_run.status, 0) << c.name << ": " << gzip_run.err;
    EXPECT_EQ(gzip_run.out, plain_run.out) << c.name;
    EXPECT_EQ(compressed.maps_written(), plain.maps_written()) << c.name;
  }

  // A bad value is named by the compressed file and the line of the decompressed text.
  scratch compressed;
  std::string damaged = text;
  const std::size_t line_40 = [&] {
    std::size_t at = 0;
    for (int line = 1; line < 40; ++line) at = damaged.find('\n', at) + 1;
    return at;
  }();
  const std::size_t first_value = damaged.find_first_not_of(' ', line_40);
  damaged.replace(first_value, damaged.find(' ', first_value) - first_value, "1.2.3");
  write_file(compressed.dir / "bad.gz", gzip_member(damaged));
  const auto bad = run_vort2pelta(compressed.dir, with({}, "bad.gz"), answers);
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "VORT2Pelta: bad.gz:40: cannot read \"1.2.3\" as a number (value 1 of record 38)\n");
  // The record count is counted in the pass that reads the table, and still echoed before the
  // failure, as the plain table's is.
  EXPECT_EQ(bad.out, plain_run.out.substr(0, plain_run.out.find(" field_id=")));
}

// A compressed table far larger than the inflating thread's blocks is streamed through them,
// and a plain one read in parts on many threads: the run's peak memory stays within 48 B a
// knot (the record table) and 16 MB, whatever the thread count.
TEST(CompressedTable, StreamedWithinTheMemoryBound) {
  if (e2e::address_sanitizer_build) GTEST_SKIP() << "left to the build without AddressSanitizer";
  scratch s;
  constexpr int n = 70;  // 343000 knots, 49 MB of text
  gzFile file = gzopen((s.dir / "big.txt.gz").c_str(), "wb1");
  ASSERT_NE(file, nullptr);
  std::FILE* plain = std::fopen((s.dir / "big.txt").c_str(), "wb");
  ASSERT_NE(plain, nullptr);
  std::string text = "x y z\nfield\n";
  char record[160];
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) {
        const double value = std::sin(i * 0.1) * std::cos(j * 0.2) * (k + 1);
        std::snprintf(record, sizeof record,
                      "%15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e\n", i * 1e-3,
                      j * 1e-3, k * 1e-3, value, -value, 0.5 * value, 0.0, value * value, 1.0);
        text += record;
      }
    }
    ASSERT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())),
              static_cast<int>(text.size()));
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), plain), text.size());
    text.clear();
  }
  ASSERT_EQ(gzclose(file), Z_OK);
  ASSERT_EQ(std::fclose(plain), 0);
  for (const auto& [table, threads] :
       {std::pair{"big.txt.gz", "--threads=2"}, std::pair{"big.txt.gz", "--threads=8"},
        std::pair{"big.txt", "--threads=8"}, std::pair{"big.txt", "--threads=64"}}) {
    const auto run = run_vort2pelta(
        s.dir, {threads, "--mesh=auto", "--mirror=F", "70", "70", "70", table, "big", "B"}, "",
        {.stdin_path = "/", .measure_memory = true, .needs_own_memory = true});
    EXPECT_EQ(run.status, 0) << table << " " << threads << ": " << run.err;
    const double limit_kib = (48.0 * n * n * n + 16e6) / 1024;
    EXPECT_LT(static_cast<double>(run.peak_rss_kb), limit_kib) << table << " " << threads;
  }
}

// The table "-" from a pipe, plain or gzip, or non-blocking and pausing, gives the maps and the
// transcript of the file, and answers from such a pipe the maps; nothing but the maps is left
// behind.
TEST(PipedTable, SameMapsAsTheFile) {
  scratch file, plain, compressed, paused, answered;
  write_file(compressed.dir / "table.gz", gzip_member(read_file(example)));
  const std::vector<std::string> options = {"--mesh=" + example_mesh, "--mirror=Y"};
  const auto file_run = run_unasked(file, with(options, "half_cavity.txt"));
  // "/dev/stdin" keeps the pipe as standard input: a file there would be no pipe.
  const auto plain_run =
      run_vort2pelta(plain.dir, with(options, "-"), "",
                     {.shell_prefix = "cat half_cavity.txt |", .stdin_path = "/dev/stdin"});
  const auto gzip_run =
      run_vort2pelta(compressed.dir, with(options, "-"), "",
                     {.shell_prefix = "cat table.gz |", .stdin_path = "/dev/stdin"});
  const auto paused_run = run_vort2pelta(
      paused.dir, with(options, "-"), "",
      {.stdin_command = "head -c 50000 half_cavity.txt; sleep 0.3; tail -c +50001 half_cavity.txt",
       .stdin_nonblocking = true});
  const auto answered_run = run_vort2pelta(
      answered.dir, with({}, "half_cavity.txt"), "",
      {.stdin_command = "sleep 0.3; printf -- '" + example_mesh + "\\n'; sleep 0.3; echo Y",
       .stdin_nonblocking = true});
  for (const auto* run : {&plain_run, &gzip_run, &paused_run}) {
    EXPECT_EQ(run->status, 0) << run->err;
    EXPECT_EQ(run->out, file_run.out);
  }
  EXPECT_EQ(answered_run.status, 0) << answered_run.err;
  EXPECT_EQ(paused.maps_written(), file.maps_written());
  EXPECT_EQ(answered.maps_written(), file.maps_written());
  EXPECT_EQ(plain.maps_written(), file.maps_written());
  EXPECT_EQ(compressed.maps_written(), file.maps_written());
  std::vector<std::string> left = maps;
  left.push_back("table.gz");
  left.push_back("half_cavity.txt");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(files_in(compressed.dir), left);
}

// The JSON of --inspect, read back by an independent parser: exactly the documented keys,
// the values of the text description, and any table name intact (quotes, backslashes,
// control bytes, UTF-8; a byte of no UTF-8 character as U+FFFD).
TEST(Inspect, JsonHoldsTheDocumentedKeys) {
  scratch s;
  const std::string name = "q\"b\\c\x01\td\xc3\xa9\xe2\x82\xac.txt";
  fs::copy_file(example, s.dir / name);
  const auto run = run_vort2pelta(s.dir, {"--inspect", name, "--format=json"}, "", no_input);
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json found = nlohmann::json::parse(run.out);
  std::vector<std::string> keys;
  for (const auto& [key, value] : found.items()) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"axes", "counts", "largest", "mesh", "records",
                                            "symmetry", "table"}));
  EXPECT_EQ(found["table"], name);
  EXPECT_EQ(found["records"], 2541);
  EXPECT_EQ(found["counts"], nlohmann::json::parse("[11, 21, 11]"));
  EXPECT_EQ(found["axes"]["x"],
            nlohmann::json::parse(R"({"knots": 11, "first": -0.08, "last": 0, "step": 0.008})"));
  EXPECT_EQ(found["axes"]["y"]["last"], 0.08);
  EXPECT_EQ(found["axes"]["z"]["knots"], 11);
  EXPECT_EQ(found["mesh"], "-0.08,-0.08,0,0,0.08,0.1,0.008,0.008,0.01");
  EXPECT_EQ(found["symmetry"],
            nlohmann::json::parse(R"({"E": "yz:electric", "B": "yz:magnetic"})"));
  EXPECT_EQ(found["largest"]["knot"], nlohmann::json::parse("[4, 9, 1]"));
  EXPECT_NEAR(found["largest"]["magnitude"].get<double>(), 1544.43, 0.01);
  for (const char* part : {"re_fx", "im_fx", "re_fy", "im_fy", "re_fz", "im_fz"}) {
    EXPECT_TRUE(found["largest"][part].is_number()) << part;
  }
  EXPECT_EQ(found["largest"]["re_fx"], 0);
  // Options stand anywhere: --inspect before --format takes the table after both.
  const auto reordered = run_vort2pelta(s.dir, {"--inspect", "--format=json", name}, "", no_input);
  EXPECT_EQ(reordered.status, 0) << reordered.err;
  EXPECT_EQ(reordered.out, run.out);

  // A table that forms no grid: the table and the error, also the one line on standard error.
  write_file(s.dir / "bad\xff.txt",
             "h\nh\n0 0 0 1 1 1 1 1 1\n0 0 1 1 1 1 1 1 1\n1 0 0 1 1 1 1 1 1\n");
  const auto bad =
      run_vort2pelta(s.dir, {"--format", "json", "--inspect", "bad\xff.txt"}, "", no_input);
  EXPECT_EQ(bad.status, 1);
  const nlohmann::json refused = nlohmann::json::parse(bad.out);
  EXPECT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused["table"], "bad\xef\xbf\xbd.txt");
  const std::string error = refused["error"];
  EXPECT_EQ(error.rfind("the positions in \"bad\\xff.txt\" form no grid: ", 0), 0u) << error;
  EXPECT_EQ(bad.err, "VORT2Pelta: " + error + "\n");
}

vort::preview_image decode_png(const fs::path& path) {
  return vort::decoded_png(read_file(path));
}

bool pixel_white(const vort::preview_image& image, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
  return image.rgb[at] == 255 && image.rgb[at + 1] == 255 && image.rgb[at + 2] == 255;
}

// The largest |F| is found without squaring the parts themselves: near the largest double a
// square overflows, below the smallest normal one it vanishes.
TEST(Inspect, FieldMagnitudesAtTheEndsOfTheDoubles) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1e308 1e308 0 0 0 0",
       "field: largest |F| 1.41e+308 at knot (1, 1, 1); largest |Re Fx| 1e+308"},
      {"3e-310 4e-310 0 0 0 0",
       "field: largest |F| 5e-310 at knot (1, 1, 1); largest |Re Fx| 3e-310"},
  };
  for (const auto& [fields, line] : cases) {
    const fs::path dir = make_temp_dir();
    write_file(dir / "t.txt", "h\nh\n0 0 0 " + fields + "\n");
    const auto run = run_vort2pelta(dir, {"--inspect", "t.txt"}, "");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\n" + line), std::string::npos) << run.out;
    fs::remove_all(dir);
  }
}

// The picture of the half cavity, mirrored: the pixels are those of the map as written
// (drawn here from the same table), the real parts and Bz (zero everywhere) are white, and
// the transverse Im Bx, even in x, is symmetric left to right.
TEST(Preview, PictureOfTheMapAsWritten) {
  scratch s;
  write_file(s.dir / "3D-cav.png", "an earlier picture\n");
  const auto run = run_vort2pelta(
      s.dir, with({"--preview", "--mesh=" + example_mesh, "--mirror=Y"}, "half_cavity.txt"), "",
      no_input);
  EXPECT_EQ(run.status, 0) << run.err;
  const vort::preview_image written = decode_png(s.dir / "3D-cav.png");
  ASSERT_GT(written.width, 0);
  EXPECT_GE(written.width, 200);
  EXPECT_GE(written.height, 200);

  const vort::grid_counts counts{11, 21, 11};
  vort::record_table table = vort::allocate_record_table(counts);
  vort::read_table(vort::open_table(example.string()), table);
  const vort::map_axes axes =
      vort::build_map_axes(counts, {{-0.08f, -0.08f, 0}, {0, 0.08f, 0.1f}, {0.008f, 0.008f, 0.01f}},
                           vort::symmetry_from_list({{0, vort::wall_kind::magnetic}}));
  const vort::drawn_preview drawn =
      vort::draw_preview(table, vort::select_field_kind('B'),
                         vort::symmetry_from_list({{0, vort::wall_kind::magnetic}}), axes);
  EXPECT_EQ(written.width, drawn.image.width);
  EXPECT_TRUE(written.rgb == drawn.image.rgb);

  for (std::size_t component = 0; component < 3; ++component) {
    for (std::size_t slot = 0; slot < vort::panel_slots; ++slot) {
      if (!vort::is_real(slot) && component != 2) continue;
      const vort::pixel_rect& panel = drawn.layout.rows[component].panels[slot];
      for (int y = panel.y; y < panel.y + panel.height; ++y) {
        for (int x = panel.x; x < panel.x + panel.width; ++x) {
          ASSERT_TRUE(pixel_white(written, x, y)) << component << " " << slot;
        }
      }
    }
  }
  const vort::pixel_rect& im_bx = drawn.layout.rows[0].panels[vort::im_transverse];
  for (int y = im_bx.y; y < im_bx.y + im_bx.height; ++y) {
    for (int x = 0; x < im_bx.width / 2; ++x) {
      const std::size_t left = (static_cast<std::size_t>(y) * written.width + im_bx.x + x) * 3;
      const std::size_t right =
          (static_cast<std::size_t>(y) * written.width + im_bx.x + im_bx.width - 1 - x) * 3;
      ASSERT_TRUE(std::equal(&written.rgb[left], &written.rgb[left] + 3, &written.rgb[right]))
          << x << " " << y;
    }
  }
}

}  // namespace
