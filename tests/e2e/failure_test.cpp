// Every way a run can fail: status 1, one line on standard error that says what and where,
// nothing on standard output after the failure, existing files of the six output names left
// exactly as they were, and no other file left behind, whichever step failed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "gzip_bytes.hpp"
#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

const std::string good_answers = "0 0 0 1 1 1 0.1 0.1 0.1\nF\n";
const std::string record = " 1 2 3 4 5 6 7 8 9\n";
const std::vector<std::string> outputs = {"3D_Re-cav.ex", "3D_Re-cav.ey", "3D_Re-cav.ez",
                                          "3D_Im-cav.ex", "3D_Im-cav.ey", "3D_Im-cav.ez"};

std::string table_of(int records, const std::string& tail = "") {
  std::string text = "header\nheader\n";
  for (int r = 0; r < records; ++r) text += record;
  return text + tail;
}

struct bad_case {
  std::string name;
  std::vector<std::string> args;  // the table is t.txt, the base name cav
  std::string answers;
  std::function<void(const fs::path&)> setup;
  std::string message;  // the whole line without the prefix; * matches any text
  // The last line on standard output ("" for none), after the usual dialogue (see
  // `expected_stdout`); or, for a run whose dialogue differs, the whole standard output.
  std::string last_stdout;
  e2e::run_options options;
  long most_memory_kb = 0;  // the peak the run may reach, 0 for any
};

void PrintTo(const bad_case& c, std::ostream* out) {
  *out << c.name;
}

// Records of a grid of 3 x 2 x 1 knots, 0.1 m apart along x and 0.2 m along y.
const std::string grid_3_2_1 =
    "h\nh\n0 0 0 1 1 1 1 1 1\n0 0.2 0 2 2 2 2 2 2\n0.1 0 0 3 3 3 3 3 3\n0.1 0.2 0 4 4 4 4 4 4\n"
    "0.2 0 0 5 5 5 5 5 5\n0.2 0.2 0 6 6 6 6 6 6\n";

auto table(const std::string& text) {
  return [text](const fs::path& dir) { write_file(dir / "t.txt", text); };
}

const std::vector<std::string> counts_2_1_1 = {"2", "1", "1", "t.txt", "cav", "E"};
const std::vector<std::string> piped_2_1_1 = {
    "--mesh=0 0 0 1 1 1 1 1 1", "--mirror=F", "2", "1", "1", "-", "cav", "E"};
const std::vector<std::string> strict_2_1_1 = {"--strict", "2", "1", "1", "t.txt", "cav", "E"};

// A compressed table, t.gz.
auto gz_table(const std::string& bytes) {
  return [bytes](const fs::path& dir) { write_file(dir / "t.gz", bytes); };
}
const std::vector<std::string> gz_counts_2_1_1 = {"2", "1", "1", "t.gz", "cav", "E"};
std::string damaged_gz(const std::string& reason) {
  return "cannot read \"t.gz\": the compressed data are damaged (" + reason + ")";
}
const std::string echo_counts = " Nx,Ny,Nz=           2           1           1";

const std::string mesh_question = " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):";
const std::string mirror_question = " Magnetic mirror:Y,X,F(False)";
const std::string full_cavity = " full cavity, no mirrors";

// The echo of a table's record count: its lines but the two header lines.
std::string record_count_line(std::int64_t lines) {
  const std::string count = std::to_string(lines - 2);
  return " file record= " + std::string(11 - count.size(), ' ') + count;
}

// The whole standard output of a run answered with good_answers that fails after the counts.
std::string counted(std::int64_t lines, const std::string& counts_line) {
  return mesh_question + "\n" + mirror_question + "\n" + full_cavity + "\n" +
         record_count_line(lines) + "\n" + counts_line;
}

// A 2 x 2 x 2 grid, 1 m apart, with Ez on every knot; the run's options come first.
const std::string axis_table =
    "h\nh\n0 0 0 0 0 0 0 3 4\n0 0 1 0 0 0 0 3 4\n0 1 0 0 0 0 0 3 4\n0 1 1 0 0 0 0 3 4\n"
    "1 0 0 0 0 0 0 3 4\n1 0 1 0 0 0 0 3 4\n1 1 0 0 0 0 0 3 4\n1 1 1 0 0 0 0 3 4\n";
const std::string axis_table_without_ez =
    "h\nh\n0 0 0 1 0 0 0 0 0\n0 0 1 1 0 0 0 0 0\n0 1 0 1 0 0 0 0 0\n0 1 1 1 0 0 0 0 0\n"
    "1 0 0 1 0 0 0 3 4\n1 0 1 1 0 0 0 3 4\n1 1 0 1 0 0 0 3 4\n1 1 1 1 0 0 0 3 4\n";
// Ez of 5 on the axis, a value off it that no factor much above 1 keeps finite.
const std::string axis_table_beyond_a_scale =
    "h\nh\n0 0 0 0 0 0 0 3 4\n0 0 1 0 0 0 0 3 4\n0 1 0 0 0 0 0 3 4\n0 1 1 0 0 0 0 3 4\n"
    "1 0 0 0 0 0 0 3 4\n1 0 1 0 0 0 0 3 4\n1 1 0 0 0 0 0 3 4\n1 1 1 1e306 0 0 0 3 4\n";
const std::string axis_counts = " Nx,Ny,Nz=           2           2           2";
std::vector<std::string> with_options(std::vector<std::string> options,
                                      const std::string& flag = "E") {
  const bool mesh = std::any_of(options.begin(), options.end(),
                                [](const std::string& o) { return o.starts_with("--mesh"); });
  if (!mesh) options.push_back("--mesh=auto");
  options.insert(options.end(), {"--mirror=F", "2", "2", "2", "t.txt", "cav", flag});
  return options;
}

// Large tables are made when their case runs, not when the cases are listed: every process
// of the test program lists them all.
std::string binary_garbage() {
  std::mt19937 random(7);
  std::string garbage = "header\nheader\n";
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(random() % 256);
  return garbage;
}

// The map "cav" a conversion writes of grid_3_2_1 (E, 3 x 2 x 1 knots), then `damage` done to
// it: what a check of a written map must refuse.
auto damaged_map(const std::function<void(const fs::path&)>& damage) {
  return [damage](const fs::path& dir) {
    write_file(dir / "t.txt", grid_3_2_1);
    e2e::run_vort2pelta(
        dir,
        {"--mesh=0 0 0 0.2 0.2 0 0.1 0.2 0.1", "--mirror=F", "3", "2", "1", "t.txt", "cav", "E"},
        "");
    damage(dir);
  };
}

// Line `line` (1-based) of a file with its first `from` made `to`; `to` alone replaces the
// whole line where `from` is empty, and a line past the end is added.
auto edit_line(const std::string& name, int line, const std::string& from, const std::string& to) {
  return [=](const fs::path& dir) {
    std::string text = read_file(dir / name);
    std::size_t start = 0;
    for (int n = 1; n < line && start < text.size(); ++n) start = text.find('\n', start) + 1;
    if (start >= text.size()) {
      write_file(dir / name, text + to + "\n");
      return;
    }
    const std::size_t end = text.find('\n', start);
    const std::size_t at = from.empty() ? start : text.find(from, start);
    text.replace(at, from.empty() ? end - start : from.size(), to);
    write_file(dir / name, text);
  };
}

auto drop_line(const std::string& name, int line) {
  return [=](const fs::path& dir) {
    std::string text = read_file(dir / name);
    std::size_t start = 0;
    for (int n = 1; n < line; ++n) start = text.find('\n', start) + 1;
    text.erase(start, text.find('\n', start) + 1 - start);
    write_file(dir / name, text);
  };
}

const std::vector<std::string> check_cav = {"--check", "cav"};

std::vector<bad_case> catalogue() {
  return {
      {"missing table", counts_2_1_1, good_answers, [](const fs::path&) {},
       "cannot open \"t.txt\": No such file or directory", ""},
      {"table is a directory", counts_2_1_1, good_answers,
       [](const fs::path& dir) { fs::create_directory(dir / "t.txt"); },
       "cannot read \"t.txt\": it is a directory", ""},
      {"table is a device",
       {"2", "1", "1", "/dev/zero", "cav", "E"},
       good_answers,
       [](const fs::path&) {},
       "cannot read \"/dev/zero\": it is not a regular file",
       ""},
      {"empty table", counts_2_1_1, good_answers, table(""),
       "\"t.txt\" ends before its two header lines (it has 0 lines)", echo_counts},
      {"one-line table", counts_2_1_1, good_answers, table("header\n"),
       "\"t.txt\" ends before its two header lines (it has 1 line)", echo_counts},
      {"unreadable value", counts_2_1_1, good_answers,
       table(table_of(1) + " 1 2 3 1.2.3 5 6 7 8 9\n"),
       "t.txt:4: cannot read \"1.2.3\" as a number (value 4 of record 2)", echo_counts},
      {"NaN", counts_2_1_1, good_answers, table(table_of(1) + " 1 2 3 4 NaN 6 7 8 9\n"),
       "t.txt:4: cannot read \"NaN\" as a number (value 5 of record 2)", echo_counts},
      {"1e400", counts_2_1_1, good_answers, table(table_of(1, " 1 1e400 3 4 5 6 7 8 9\n")),
       "t.txt:4: cannot read \"1e400\" as a number: it is too large for a double (value 2 of "
       "record 2)",
       echo_counts},
      {"number longer than any double needs", counts_2_1_1, good_answers,
       table(table_of(1, " 1 2 0." + std::string(900, '0') + "1 4 5 6 7 8 9\n")),
       "t.txt:4: cannot read \"0." + std::string(38, '0') +
           "...\" as a number: it is longer than 800 characters (value 3 of record 2)",
       echo_counts},
      {"record cut short", counts_2_1_1, good_answers, table(table_of(1) + " 1 2 3 4\n 5\n"),
       "t.txt:5: the file ends inside record 2 (5 of 9 values read)", echo_counts},
      {"NUL bytes", counts_2_1_1, good_answers,
       table(table_of(1) + std::string(" 1 2 \0\0 4 5 6 7 8 9\n", 21)),
       "t.txt:4: cannot read \"\\x00\\x00\" as a number (value 3 of record 2)", echo_counts},
      {"binary garbage",
       {"9", "9", "9", "t.txt", "cav", "E"},
       good_answers,
       [](const fs::path& dir) { write_file(dir / "t.txt", binary_garbage()); },
       "t.txt:*: cannot read \"*\" as a number (value * of record *)",
       " Nx,Ny,Nz=           9           9           9"},
      {"compressed table cut short", gz_counts_2_1_1, good_answers,
       gz_table(gzip_member(table_of(2)).substr(0, 20)), damaged_gz("unexpected end of file"),
       " full cavity, no mirrors"},
      {"compressed table whose header is cut", gz_counts_2_1_1, good_answers,
       gz_table(gzip_member(table_of(2)).substr(0, 6)), damaged_gz("unexpected end of file"),
       " full cavity, no mirrors"},
      {"compressed table with a wrong CRC", gz_counts_2_1_1, good_answers,
       gz_table(flipped(gzip_member(table_of(2)), -8, 0x40)), damaged_gz("incorrect data check"),
       " full cavity, no mirrors"},
      {"compressed table with a wrong length", gz_counts_2_1_1, good_answers,
       gz_table(flipped(gzip_member(table_of(2)), -4, 0x01)), damaged_gz("incorrect length check"),
       " full cavity, no mirrors"},
      {"compressed table with bits flipped in the deflate data", gz_counts_2_1_1, good_answers,
       gz_table(flipped(gzip_member(table_of(2), 0), 10, 0x06)), damaged_gz("invalid block header"),
       " full cavity, no mirrors"},
      {"compressed table with trailing text", gz_counts_2_1_1, good_answers,
       gz_table(gzip_member(table_of(2)) + "end of table\n"),
       damaged_gz("trailing data after the last gzip member"), " full cavity, no mirrors"},
      {"compressed table of no text", gz_counts_2_1_1, good_answers, gz_table(gzip_member("")),
       "\"t.gz\" ends before its two header lines (it has 0 lines)", counted(0, echo_counts)},
      {"empty file named .gz", gz_counts_2_1_1, good_answers, gz_table(""),
       "\"t.gz\" ends before its two header lines (it has 0 lines)", counted(0, echo_counts)},
      {"10 MB line",
       counts_2_1_1,
       good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", "header\nheader\n" + std::string(10 << 20, 'x') + "\n");
       },
       "t.txt:3: the line is longer than 1048576 bytes, more than any table needs",
       echo_counts,
       {.measure_memory = true, .needs_own_memory = true},
       12 << 10},
      {"input ends at the mesh prompt", counts_2_1_1, "", table(table_of(2)),
       "standard input ended before the mesh data were complete (0 of 9 values read)",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):"},
      {"input ends inside the mesh values", counts_2_1_1, "0 0 0\n1 1\n", table(table_of(2)),
       "standard input ended before the mesh data were complete (5 of 9 values read)",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):"},
      {"input ends at the mirror prompt", counts_2_1_1, "0 0 0 1 1 1 1 1 1\n", table(table_of(2)),
       "standard input ended before the mirror answer", " Magnetic mirror:Y,X,F(False)"},
      {"bad mesh value", counts_2_1_1, "0 0 zero 1 1 1 1 1 1\nF\n", table(table_of(2)),
       "standard input:1: cannot read \"zero\" as a number (value 3 of the mesh data)",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):"},
      {"count 4.5",
       {"4.5", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Nx (argument 1): cannot read \"4.5\" as an integer",
       ""},
      {"count 1e3",
       {"2", "1e3", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Ny (argument 2): cannot read \"1e3\" as an integer",
       ""},
      {"blank count",
       {"2", "1", " ", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Nz (argument 3) is missing or blank",
       ""},
      {"count -5",
       {"-5", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "grid counts must be at least 1, got Nx=-5, Ny=1, Nz=1",
       ""},
      {"count 0",
       {"2", "0", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "grid counts must be at least 1, got Nx=2, Ny=0, Nz=1",
       ""},
      {"count 99999999999",
       {"99999999999", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Nx (argument 1): \"99999999999\" is outside the 32-bit integer range",
       ""},
      {"more knots than row numbers",
       {"2000", "2000", "2000", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "a grid of 2000 x 2000 x 2000 = 8000000000 knots is more than *",
       ""},
      {"counts whose product wraps to one knot",
       {"7623851", "1229673", "3935371", "t.txt", "cav", "E"},
       "0 0 0 0 0 0 1 1 1\nF\n",
       table(table_of(1)),
       "a grid of 7623851 x 1229673 x 3935371 = 36893488147419103233 knots is more than the "
       "2147483647 the record table can number",
       ""},
      {"counts whose product wraps to zero",
       {"2097152", "2097152", "4194304", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(1)),
       "a grid of 2097152 x 2097152 x 4194304 = 18446744073709551616 knots is more than *",
       ""},
      {"largest counts",
       {"2147483647", "2147483647", "2147483647", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(1)),
       "a grid of 2147483647 x 2147483647 x 2147483647 = 9903520300447984150353281023 knots is "
       "more than *",
       ""},
      {"grid too large for memory",
       {"1000", "1000", "1000", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Allocation would exceed memory limit",
       "",
       {.shell_prefix = "ulimit -v 4000000;", .needs_own_memory = true}},
      {"axis beyond single precision",
       {"3", "1", "1", "t.txt", "cav", "E"},
       "0 0 0 0 0 0 3e38 1 1\nF\n",
       table(table_of(3)),
       "the mesh data put knot 3 of the x axis at 6e+38, beyond single precision",
       " Nx,Ny,Nz=           3           1           1"},
      {"mesh value rounding to infinity", counts_2_1_1, "0 0 0 0 0 0 3.4028236e38 1 1\nF\n",
       table(table_of(2)),
       "value 7 of the mesh data (3.4028236e+38) is too large for single precision",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):"},
      {"standard input is a directory",
       counts_2_1_1,
       "",
       table(table_of(2)),
       "cannot read standard input: Is a directory",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):",
       {.stdin_path = "/"}},
      {"unknown option",
       {"2", "1", "1", "--frobnicate", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "unknown option \"--frobnicate\" (VORT2Pelta --help lists the options)",
       ""},
      {"option value missing",
       {"2", "1", "1", "t.txt", "cav", "E", "--mesh"},
       good_answers,
       table(table_of(2)),
       "option --mesh needs a value (VORT2Pelta --help lists the options)",
       ""},
      {"lower-case mirror option",
       {"--mirror=y", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "--mirror=y: the mirror is Y, X or F; did you mean Y?",
       ""},
      {"bad mesh option",
       {"--mesh=0 0 zero", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "--mesh: cannot read \"zero\" as a number (value 3 of the mesh data)",
       ""},
      {"inspect a table that forms no grid",
       {"--inspect", "t.txt"},
       "",
       table("h\nh\n0 0 0 1 1 1 1 1 1\n0 0 1 1 1 1 1 1 1\n1 0 0 1 1 1 1 1 1\n"),
       "the positions in \"t.txt\" form no grid: its 3 records are not a whole number of x "
       "planes of 2 records",
       ""},
      {"inspect a missing table",
       {"--inspect", "t.txt"},
       "",
       [](const fs::path&) {},
       "cannot open \"t.txt\": No such file or directory",
       ""},
      {"output file is a pipe", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ex");
         mkfifo((dir / "3D_Im-cav.ex").c_str(), 0600);
       },
       "cannot create \"3D_Im-cav.ex\": it is not a regular file", ""},
      {"output name links to a pipe", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         mkfifo((dir / "pipe").c_str(), 0600);
         fs::remove(dir / "3D_Re-cav.ez");
         fs::create_symlink("pipe", dir / "3D_Re-cav.ez");
       },
       "cannot create \"3D_Re-cav.ez\": it is not a regular file", ""},
      {"output name links to another output of the set", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ex");
         fs::create_symlink("3D_Re-cav.ex", dir / "3D_Im-cav.ex");
       },
       "cannot create \"3D_Im-cav.ex\": it is the same file as \"3D_Re-cav.ex\"", ""},
      {"picture name links to a map of the set",
       {"--preview", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::create_symlink("3D_Re-cav.ez", dir / "3D-cav.png");
       },
       "cannot create \"3D-cav.png\": it is the same file as \"3D_Re-cav.ez\"",
       ""},
      {"counts swapped, a trailer after the table",
       {"2", "3", "1", "t.txt", "cav", "E"},
       good_answers,
       table(grid_3_2_1 + "end of table\n"),
       "t.txt:5: record 3 is at x = 0.1 but knot (1, 3, 1) of a 2 x 3 x 1 grid shares x with "
       "record 1 (x = 0); the positions fit a grid of 3 x 2 x 1 knots",
       " Nx,Ny,Nz=           2           3           1"},
      {"counts swapped",
       {"2", "3", "1", "t.txt", "cav", "E"},
       good_answers,
       table(grid_3_2_1),
       "t.txt:5: record 3 is at x = 0.1 but knot (1, 3, 1) of a 2 x 3 x 1 grid shares x with "
       "record 1 (x = 0); the positions fit a grid of 3 x 2 x 1 knots",
       " Nx,Ny,Nz=           2           3           1"},
      {"two tables in one file", counts_2_1_1, good_answers, table(table_of(2) + table_of(2)),
       "\"t.txt\" holds more records than the grid has knots (2); check Nx, Ny and Nz",
       echo_counts},
      {"unevenly spaced positions",
       {"3", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table("h\nh\n0 0 0 1 1 1 1 1 1\n0.1 0 0 1 1 1 1 1 1\n0.5 0 0 1 1 1 1 1 1\n"),
       "t.txt:4: record 2 is at x = 0.1 but the x knots of a 3 x 1 x 1 grid are evenly spaced "
       "from 0 to 0.5, which puts knot (2, 1, 1) at x = 0.25",
       " Nx,Ny,Nz=           3           1           1"},
      {"a tenth mesh value",
       {"--mesh=0 0 0 1 1 1 1 1 1 abc", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "--mesh gives more than the 9 mesh values",
       ""},
      {"output name too long for the file system",
       {"2", "1", "1", "t.txt", std::string(250, 'c'), "E"},
       good_answers,
       table(table_of(2)),
       "cannot create \"3D_Re-cccccccccccccccccccccccccccccccccc...\": File name too long",
       ""},
      {"inspect a table whose last record is damaged",
       {"--inspect", "t.txt"},
       "",
       table("h\nh\n0 0 0 1 1 1 1 1 1\n0 0 1 1 1 1 1 1 1\n0 0 2 1 1 1 1 1 x\n"),
       "t.txt:5: cannot read \"x\" as a number (value 9 of record 3)",
       ""},
      {"more records than knots", counts_2_1_1, good_answers, table(table_of(3)),
       "\"t.txt\" holds more records than the grid has knots (2); check Nx, Ny and Nz",
       echo_counts},
      {"directory in place of the fourth output file", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ex");
         fs::create_directory(dir / "3D_Im-cav.ex");
       },
       "cannot create \"3D_Im-cav.ex\": Is a directory", ""},
      {"too few arguments",
       {"2", "1", "1", "t.txt"},
       good_answers,
       table(table_of(2)),
       "a conversion takes six arguments (Nx Ny Nz vort_file_name output_files_names "
       "Field_flag); 4 given: the base name and the field flag are missing",
       ""},
      {"base name ending in a slash",
       {"2", "1", "1", "t.txt", "out/", "E"},
       good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::create_directory(dir / "out");
       },
       "the base name \"out/\" ends in a slash: it must end with the name of the maps, as in "
       "out/cavity",
       ""},
      {"missing output directory",
       {"2", "1", "1", "t.txt", "out/cav", "E"},
       good_answers,
       table(table_of(2)),
       "cannot create \"out/3D_Re-cav.ex\": the directory \"out\" does not exist",
       ""},
      {"output directory is a file",
       {"2", "1", "1", "t.txt", "out/cav", "E"},
       good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         write_file(dir / "out", "a file\n");
       },
       "cannot create \"out/3D_Re-cav.ex\": \"out\" is not a directory",
       ""},
      {"auto counts without the positions",
       {"--no-grid-check", "auto", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "auto counts come from the records' positions, which --no-grid-check leaves unread",
       ""},
      {"auto counts from positions that form no grid",
       {"auto", "auto", "auto", "t.txt", "cav", "E"},
       good_answers,
       table("h\nh\n0 0 0 1 1 1 1 1 1\n0 0 1 1 1 1 1 1 1\n1 0 0 1 1 1 1 1 1\n"),
       "the positions in \"t.txt\" form no grid: its 3 records are not a whole number of x "
       "planes of 2 records",
       ""},
      {"piped table without --mesh",
       {"--mirror=F", "2", "1", "1", "-", "cav", "E"},
       table_of(2),
       [](const fs::path&) {},
       "the table is read from standard input, so the answers cannot be: give --mesh",
       ""},
      {"piped table with more records than knots",
       {"--mesh=0 0 0 1 1 1 1 1 1", "--mirror=F", "2", "1", "1", "-", "cav", "E"},
       table_of(3),
       [](const fs::path&) {},
       "\"standard input\" holds more records than the grid has knots (2); check Nx, Ny and Nz",
       echo_counts},
      {"piped table cut short",
       {"--mesh=0 0 0 1 1 1 1 1 1", "--mirror=F", "2", "1", "1", "-", "cav", "E"},
       table_of(1) + " 1 2 3 4\n",
       [](const fs::path&) {},
       "standard input:4: the file ends inside record 2 (4 of 9 values read)",
       echo_counts},
      {"piped table from a directory",
       {"--mesh=auto", "--mirror=F", "2", "1", "1", "-", "cav", "E"},
       "",
       [](const fs::path&) {},
       "cannot read standard input: Is a directory",
       "",
       {.stdin_path = "/"}},
      // A piped stream is copied only as far as what the counts can hold.
      {"piped table followed by endless blank lines",
       {"--mesh=auto", "--mirror=F", "2", "1", "1", "-", "cav", "E"},
       "",
       [](const fs::path&) {},
       "cannot read standard input: 1003 of its lines are blank or text and 2 hold values, more "
       "than a table has",
       "",
       {.stdin_command = "printf 'h\\nh\\n0 0 0 1 2 3 4 5 6\\n1 0 0 7 8 9 10 11 12\\n'; yes ''"}},
      {"piped endless text with auto counts",
       {"--mesh=auto", "--mirror=F", "auto", "auto", "auto", "-", "cav", "E"},
       "",
       [](const fs::path&) {},
       "cannot read standard input: 1001 of its lines are blank or text and 0 hold values, more "
       "than a table has",
       "",
       {.stdin_command = "yes 'no table'"}},
      {"piped binary noise",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "cannot read standard input: * of its lines are blank or text and * hold values, more than "
       "a table has",
       "",
       {.stdin_command = "printf 'h\\nh\\n'; cat /dev/urandom"}},
      {"piped table repeated without end",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "cannot read standard input: more than 1018 of its lines hold values, more than a table "
       "of 2 records has",
       "",
       {.stdin_command =
            "while :; do printf 'h\\nh\\n0 0 0 1 2 3 4 5 6\\n1 0 0 7 8 9 10 11 12\\n'; done"}},
      {"piped records without end",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "cannot read standard input: more than 1018 of its lines hold values, more than a table "
       "of 2 records has",
       "",
       {.stdin_command = "printf 'h\\nh\\n'; yes '0 0 0 1 2 3 4 5 6'"}},
      {"piped lines of values near the line limit without end",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "cannot read standard input: more than 6291456 bytes, more than a table of 2 records has",
       "",
       {.stdin_command =
            "printf 'h\\nh\\n'; while :; do head -c 1000000 /dev/zero | tr '\\0' 1; echo; done"}},
      {"piped compressed stream without end",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "cannot read standard input: more than 6291456 bytes, more than a table of 2 records has",
       "",
       {.stdin_command = "printf '\\037\\213'; cat /dev/zero"}},
      {"piped compressed blank lines with auto counts",
       {"--mesh=auto", "--mirror=F", "auto", "auto", "auto", "-", "cav", "E"},
       "",
       [](const fs::path&) {},
       "cannot read standard input: 1001 of its lines are blank or text and 0 hold values, more "
       "than a table has",
       "",
       {.stdin_command = "(printf 'h\\nh\\n'; yes '') | gzip -1"}},
      {"piped endless line",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "standard input:3: the line is longer than 1048576 bytes, more than any table needs",
       "",
       {.stdin_command = "printf 'h\\nh\\n'; yes 1 | tr -d '\\n'"}},
      {"inspect an endless stream of zero bytes",
       {"--inspect", "-"},
       "",
       [](const fs::path&) {},
       "standard input:1: the line is longer than 1048576 bytes, more than any table needs",
       "",
       {.stdin_path = "/dev/zero"}},
      // Closed standard streams are neither written into the table nor read from it.
      {"standard output closed",
       piped_2_1_1,
       table_of(2),
       [](const fs::path&) {},
       "cannot write standard output: Bad file descriptor",
       "",
       {.stdout_closed = true}},
      {"standard input closed",
       counts_2_1_1,
       good_answers,
       table(table_of(2)),
       "standard input ended before the mesh data were complete (0 of 9 values read)",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):",
       {.stdin_closed = true}},
      // A non-blocking standard input that pauses is waited for.
      {"non-blocking answers that pause",
       counts_2_1_1,
       "",
       table(table_of(2)),
       "standard input:1: cannot read \"zero\" as a number (value 3 of the mesh data)",
       " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):",
       {.stdin_command = "sleep 0.5; printf '0 0 zero\\n'", .stdin_nonblocking = true}},
      {"non-blocking piped table that pauses",
       piped_2_1_1,
       "",
       [](const fs::path&) {},
       "\"standard input\" holds more records than the grid has knots (2); check Nx, Ny and Nz",
       full_cavity + "\n" + record_count_line(5) + "\n" + echo_counts,
       {.stdin_command = "printf 'h\\nh\\n'; sleep 0.5; printf '" + record + record + record + "'",
        .stdin_nonblocking = true}},
      {"inspect with an option of a conversion",
       {"--inspect", "--preview", "t.txt"},
       "",
       table(table_of(2)),
       "--inspect describes a table and converts nothing: it does not go with --preview",
       ""},
      {"inspect with an axis outside the table",
       {"--inspect", "t.txt", "--axis=5,0.5"},
       "",
       table(axis_table),
       "--axis=5,0.5: the line x = 5, y = 0.5 lies outside the map (x from 0 to 1, y from 0 to 1)",
       ""},
      {"inspect with a scale",
       {"--inspect", "t.txt", "--scale=2"},
       "",
       table(table_of(2)),
       "--inspect describes a table and converts nothing: it does not go with --scale",
       ""},
      {"length unit of no kind", with_options({"--length-unit=km"}), good_answers,
       table(axis_table), "--length-unit=km: the unit is m, cm, mm or um", ""},
      {"field unit of an E map", with_options({"--field-unit=T"}), good_answers, table(axis_table),
       "--field-unit goes with the field flag B: the flag E has no unit to choose", ""},
      {"scale of zero", with_options({"--scale=0"}), good_answers, table(axis_table),
       "--scale=0: the scale is a number other than 0", ""},
      {"scale beyond single precision", with_options({"--scale=1e300"}), good_answers,
       table(axis_table), "--scale=1e+300: the factor 1e+300 lies beyond single precision", ""},
      {"scale that takes a value beyond double precision", with_options({"--scale=1e30"}),
       good_answers, table(axis_table_beyond_a_scale),
       "--scale=1e+30: the factor 1e+30 takes the table's largest value, 1e+306, beyond double "
       "precision",
       axis_counts},
      {"normalised scale that takes a value beyond double precision",
       with_options({"--normalise=peak:1e6"}), good_answers, table(axis_table_beyond_a_scale),
       "--normalise=peak:1e6: the factor 2e+05 takes the table's largest value, 1e+306, beyond "
       "double precision",
       axis_counts},
      {"normalise and scale together", with_options({"--normalise=peak:1e6", "--scale=2"}),
       good_answers, table(axis_table),
       "--normalise and --scale cannot go together: --normalise works out the scale", ""},
      {"normalise to a voltage without a frequency", with_options({"--normalise=voltage:1e6"}),
       good_answers, table(axis_table),
       "--normalise=voltage:1e6: the voltage on the axis needs --frequency=HZ", ""},
      {"normalise of no figure", with_options({"--normalise=power:1"}), good_answers,
       table(axis_table),
       "--normalise=power:1: normalise peak, voltage, gradient or peak-b, as WHAT:VALUE", ""},
      {"normalise to a negative value", with_options({"--normalise=peak:-1"}), good_answers,
       table(axis_table), "--normalise=peak:-1: the value is a number above 0", ""},
      {"normalise the peak of B in an E map", with_options({"--normalise=peak-b:0.1"}),
       good_answers, table(axis_table), "--normalise=peak-b:0.1 goes with the field flag B", ""},
      {"normalise the peak of Ez in a B map", with_options({"--normalise=peak:1e6"}, "B"),
       good_answers, table(axis_table),
       "--normalise=peak:1e6 is a figure of Ez, which a B map does not hold: give peak-b:VALUE",
       ""},
      {"beta without a frequency", with_options({"--beta=0.5"}), good_answers, table(axis_table),
       "--beta goes with --frequency: it sets the voltage's phase along the axis", ""},
      {"beta above 1", with_options({"--frequency=1e9", "--beta=1.5"}), good_answers,
       table(axis_table), "--beta=1.5: beta is a number above 0, at most 1", ""},
      {"axis of one number", with_options({"--axis=0"}), good_answers, table(axis_table),
       "--axis=0: the axis is X,Y: two numbers, in metres", ""},
      {"normalise where the axis has no Ez", with_options({"--normalise=peak:1e6"}), good_answers,
       table(axis_table_without_ez),
       "--normalise=peak:1e6: the largest |Ez| on the axis x = 0, y = 0 is zero; nothing scales it",
       axis_counts},
      {"normalise a voltage that cancels on the axis",
       with_options({"--normalise=voltage:1e6", "--frequency=1"}), good_answers,
       table(axis_table_without_ez),
       "--normalise=voltage:1e6: the voltage on the axis x = 0, y = 0 is zero; nothing scales it",
       axis_counts},
      {"axis given outside the map", with_options({"--report", "--axis=0.5,2"}), good_answers,
       table(axis_table),
       "--axis=0.5,2: the line x = 0.5, y = 2 lies outside the map (x from 0 to 1, y from 0 to 1)",
       axis_counts},
      {"axis given outside the map of a picture", with_options({"--preview", "--axis=-1,0"}),
       good_answers, table(axis_table),
       "--axis=-1,0: the line x = -1, y = 0 lies outside the map (x from 0 to 1, y from 0 to 1)",
       axis_counts},
      {"default axis outside the map",
       with_options({"--report", "--mesh=1 1 0 2 2 1 1 1 1", "--no-grid-check"}), "",
       table(axis_table),
       "the axis: the line x = 0, y = 0 lies outside the map (x from 1 to 2, y from 1 to 2); give "
       "the axis as --axis=X,Y, in metres",
       axis_counts},
      {"profile written over the table", with_options({"--report=t.txt"}), good_answers,
       table(axis_table), "cannot create \"t.txt\": it is the same file as the table \"t.txt\"",
       ""},
      {"profile written over the maps' lock file", with_options({"--report=.3D-cav.lock"}),
       good_answers, table(axis_table),
       "cannot create \".3D-cav.lock\": it is the same file as \".3D-cav.lock\"", ""},
      {"name in UTF-8 under a UTF-8 locale",
       {"2", "1", "1",
        "t\xc3\xa2"
        "ble\x01.txt",
        "cav", "E"},
       good_answers,
       [](const fs::path&) {},
       "cannot open \"t\xc3\xa2"
       "ble\\x01.txt\": No such file or directory",
       "",
       {.shell_prefix = "export LC_ALL=C.UTF-8;"}},
      {"name escaped under the C locale",
       {"2", "1", "1",
        "t\xc3\xa2"
        "ble.txt",
        "cav", "E"},
       good_answers,
       [](const fs::path&) {},
       "cannot open \"t\\xc3\\xa2ble.txt\": No such file or directory",
       "",
       {.shell_prefix = "export LC_ALL=C;"}},
      // --strict: each kind of warning fails the run, and the earlier maps stay.
      {"--strict and a flag neither E nor B",
       {"--strict", "2", "1", "1", "t.txt", "cav", "e"},
       good_answers,
       table(table_of(2)),
       "field flag \"e\" is neither E nor B: values are scaled by mu0 and written as .ex files "
       "(--strict)",
       ""},
      {"--strict and a frequency that nothing uses",
       {"--strict", "--frequency=1e9", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "--frequency sets the voltage on the axis, which only --report and --normalise work out: "
       "it changes nothing here (--strict)",
       ""},
      {"--strict and a seventh argument",
       {"--strict", "2", "1", "1", "t.txt", "cav", "E", "extra"},
       good_answers,
       table(table_of(2)),
       "a conversion takes six arguments; the one after the field flag is ignored: \"extra\" "
       "(--strict)",
       ""},
      {"--strict and knots without a record",
       {"--strict", "--no-grid-check", "3", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "\"t.txt\" holds 2 records for 3 knots; the last knot has no record and is written as "
       "zero, a whole x plane among them: is Nx too large? (--strict)",
       " Nx,Ny,Nz=           3           1           1"},
      {"--strict and a mesh that disagrees with the positions",
       {"--strict", "3", "2", "1", "t.txt", "cav", "E"},
       "0 0 0 0.2 0.2 0 1 0.2 1\nF\n",
       table(grid_3_2_1),
       "the mesh data give dx = 1 m, the table's x step is 0.1 (10 times smaller) (--strict)",
       " Nx,Ny,Nz=           3           2           1"},
      // A symmetry plane whose end of the axis the field does not tell.
      {"--strict and X for a half cut in x",
       {"--strict", "--mesh=auto", "--mirror=X", "11", "21", "11", "t.txt", "cav", "E"},
       "",
       [](const fs::path& dir) {
         fs::copy_file(fs::path(VORT2PELTA_EXAMPLES_DIR) / "half_cavity.txt", dir / "t.txt");
       },
       "y already holds both sides of zero, from -0.08 to 0.08, yet the XZ plane mirrors it at "
       "y = 0.08: is the table whole along y, or the symmetry plane another? (--strict)",
       " XZ magnetic mirror\n" + record_count_line(2544) +
           "\n Nx,Ny,Nz=          11          21          11"},
      {"--strict and a mirror on a plane where the field vanishes",
       {"--strict", "--mesh=auto", "--mirror=Y", "3", "1", "1", "t.txt", "cav", "E"},
       "",
       table("h\nh\n0.1 0 0 0 0 0 0 0 0\n0.2 0 0 1 2 3 4 5 6\n0.3 0 0 0 0 0 0 0 0\n"),
       "the YZ plane was taken at x = 0.3, where the field vanishes (outside the structure?); if "
       "it lies at x = 0.1, give yz:magnetic:first in --symmetry (--strict)",
       " YZ magnetic mirror\n" + record_count_line(5) +
           "\n Nx,Ny,Nz=           3           1           1"},
      {"--strict and a mirror on a plane where the field vanishes, without positions",
       {"--strict", "--no-grid-check", "--mirror=Y", "2", "1", "1", "t.txt", "cav", "E"},
       "0 0 0 1 1 1 0.25 0.1 0.1\n",
       table("h\nh\n0 0 0 1 2 3 4 5 6\n0 0 0 0 0 0 0 0 0\n"),
       "the YZ plane was taken at x = 0.25, where the field vanishes (outside the structure?); if "
       "it lies at x = 0, give yz:magnetic:first in --symmetry (--strict)",
       mesh_question + "\n YZ magnetic mirror\n" + record_count_line(4) +
           "\n Nx,Ny,Nz=           2           1           1"},
      {"--strict and a lower-case mirror answer", strict_2_1_1, "0 0 0 1 1 1 0.1 0.1 0.1\ny\n",
       table(table_of(2)),
       "the mirror answer \"y\" is not Y, X or F: the map is written without a mirror; did you "
       "mean Y? (--strict)",
       mesh_question + "\n" + mirror_question + "\n error!"},
      {"--strict and a mirror answer after a blank", strict_2_1_1, "0 0 0 1 1 1 0.1 0.1 0.1\n Y\n",
       table(table_of(2)),
       "the mirror answer \" Y\" is not Y, X or F: the map is written without a mirror; did you "
       "mean Y? (--strict)",
       mesh_question + "\n" + mirror_question + "\n error!"},
      {"--strict and an empty mirror answer", strict_2_1_1, "0 0 0 1 1 1 0.1 0.1 0.1\n\n",
       table(table_of(2)),
       "the mirror answer \"\" is not Y, X or F: the map is written without a mirror (--strict)",
       mesh_question + "\n" + mirror_question + "\n error!"},
      {"--strict and flag H",
       {"--strict", "2", "1", "1", "t.txt", "cav", "H"},
       good_answers,
       table(table_of(2)),
       "field flag \"H\" is neither E nor B: values are scaled by mu0 and written as .ex files; a "
       "table of H in A/m is converted to B with the flag B (--strict)",
       ""},
      {"--strict and a table that ends inside an x plane",
       {"--strict", "--no-grid-check", "2", "2", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(3)),
       "\"t.txt\" holds 3 records for 4 knots; the last knot has no record and is written as "
       "zero: the table ends early at knot (2, 1, 1) and may be cut short (--strict)",
       " Nx,Ny,Nz=           2           2           1"},
      {"--strict and a half cut short, mirrored",
       {"--strict", "--mesh=-0.08 -0.08 0 0 0.08 0.1 0.008 0.008 0.01", "--mirror=Y", "11", "21",
        "11", "t.txt", "cav", "B"},
       "",
       [](const fs::path& dir) {
         const std::string half = read_file(fs::path(VORT2PELTA_EXAMPLES_DIR) / "half_cavity.txt");
         std::size_t end = 0;
         for (int line = 0; line < 2000; ++line) end = half.find('\n', end) + 1;
         write_file(dir / "t.txt", half.substr(0, end));
       },
       "\"t.txt\" holds 1998 records for 2541 knots; the last 543 knots have no record and are "
       "written as zero: the table ends early at knot (9, 14, 7) and may be cut short (--strict)",
       " YZ magnetic mirror\n" + record_count_line(2000) +
           "\n Nx,Ny,Nz=          11          21          11"},
      {"--mesh=auto and a table that ends inside an x plane",
       {"--mesh=auto", "--mirror=F", "3", "2", "1", "t.txt", "cav", "E"},
       "",
       table(grid_3_2_1.substr(0, grid_3_2_1.find("0.1 0.2"))),
       "no record gives the position of the last x knot (x knot 3), so the positions give no "
       "mesh: the table ends early at knot (2, 1, 1) and may be cut short",
       " Nx,Ny,Nz=           3           2           1"},
      // Knots that coincide in the map's single-precision axis.
      {"--mesh with a step of zero",
       {"--mesh=-0.08 -0.08 0 /", "--mirror=Y", "3", "1", "1", "t.txt", "cav", "E"},
       "",
       table(table_of(3)),
       "the mesh data put knots 1 and 2 of the x axis both at x = -0.08 (dx = 0): a map's knots "
       "must be distinct",
       ""},
      {"typed mesh whose step is lost beside its coordinates",
       {"3", "1", "1", "t.txt", "cav", "E"},
       "1e6 0 0 0 0 0 0.001 1 1\nF\n",
       table(table_of(3)),
       "the mesh data put knots 1 and 2 of the x axis both at x = 1e+06 in single precision "
       "(xmin = 1e+06, dx = 0.001): a map's knots must be distinct",
       " Nx,Ny,Nz=           3           1           1"},
      {"positions that coincide in single precision, --mesh=auto",
       {"--mesh=auto", "--mirror=F", "3", "1", "1", "t.txt", "cav", "E"},
       "",
       table("h\nh\n1e6 0 0 1 1 1 1 1 1\n1000000.001 0 0 1 1 1 1 1 1\n"
             "1000000.002 0 0 1 1 1 1 1 1\n"),
       "the mesh data put knots 1 and 2 of the x axis both at x = 1e+06 in single precision "
       "(xmin = 1e+06, dx = 0.0009999999): a map's knots must be distinct",
       " Nx,Ny,Nz=           3           1           1"},
      {"positions whose step underflows single precision, --mesh=auto",
       {"--mesh=auto", "--mirror=F", "auto", "1", "1", "t.txt", "cav", "E"},
       "",
       table("h\nh\n0 0 0 1 1 1 1 1 1\n1e-300 0 0 1 1 1 1 1 1\n2e-300 0 0 1 1 1 1 1 1\n"),
       "the mesh data put knots 1 and 2 of the x axis both at x = 0 (dx = 0): a map's knots must "
       "be distinct",
       " Nx,Ny,Nz=           3           1           1"},
      {"mirror images that coincide with the plane",
       {"--no-grid-check", "--mesh=-1 0 0 0 0 0 5.9604645e-08 1 1", "--symmetry=yz:magnetic:first",
        "3", "1", "1", "t.txt", "cav", "E"},
       "",
       table(table_of(3)),
       "the mesh data put knots 2 and 3 of the x axis both at x = -1 in single precision (xmin = "
       "-1, dx = 5.9604645e-08): a map's knots must be distinct",
       ""},
      // A knot count is written in single precision, exact up to 2^24.
      {"more knots on an axis than single precision counts",
       {"--no-grid-check", "16777217", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(2)),
       "Nx=16777217 is more than the 16777216 knots a map axis can have: the knot count is "
       "written in single precision",
       ""},
      {"an axis doubled past 2^24 knots by --mirror",
       {"--mirror=X", "1", "8388609", "1", "t.txt", "cav", "E"},
       "0 0 0 1 1 1 1 1 1\n",
       table(table_of(2)),
       "Ny=8388609 makes 16777217 y knots with the XZ symmetry plane, more than the 16777216 knots "
       "a map axis can have: the knot count is written in single precision",
       ""},
      {"an axis doubled past 2^24 knots by the mirror answer",
       {"8388609", "1", "1", "t.txt", "cav", "E"},
       "0 0 0 1 1 1 1 1 1\nY\n",
       table(table_of(2)),
       "Nx=8388609 makes 16777217 x knots with the YZ symmetry plane, more than the 16777216 knots "
       "a map axis can have: the knot count is written in single precision",
       mesh_question + "\n" + mirror_question + "\n YZ magnetic mirror"},
      // An output that is the table itself would put the map in the table's place.
      {"table named as an output of the run",
       {"2", "1", "1", "3D_Re-cav.ex", "cav", "E"},
       good_answers,
       [](const fs::path& dir) { write_file(dir / "3D_Re-cav.ex", table_of(2)); },
       "cannot create \"3D_Re-cav.ex\": it is the same file as the table \"3D_Re-cav.ex\"",
       ""},
      {"table on standard input redirected from an output of the run",
       piped_2_1_1,
       "",
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ez");
         fs::create_symlink("t.txt", dir / "3D_Im-cav.ez");
       },
       "cannot create \"3D_Im-cav.ez\": it is the same file as the table on standard input",
       "",
       {.stdin_path = "t.txt"}},
      {"output name links to the table", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ey");
         fs::create_symlink("t.txt", dir / "3D_Im-cav.ey");
       },
       "cannot create \"3D_Im-cav.ey\": it is the same file as the table \"t.txt\"", ""},
      {"output name is a hard link to the table", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Re-cav.ez");
         fs::create_hard_link(dir / "t.txt", dir / "3D_Re-cav.ez");
       },
       "cannot create \"3D_Re-cav.ez\": it is the same file as the table \"t.txt\"", ""},
      {"picture name links to the table",
       {"--preview", "2", "1", "1", "t.txt", "cav", "E"},
       good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::create_symlink("t.txt", dir / "3D-cav.png");
       },
       "cannot create \"3D-cav.png\": it is the same file as the table \"t.txt\"",
       ""},
      // Where a link leads and how long the hidden names beside the target grow are known up
      // front, like the output's own directory.
      {"output name links into a missing directory", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Re-cav.ey");
         fs::create_symlink("missing/ey", dir / "3D_Re-cav.ey");
       },
       "cannot create \"3D_Re-cav.ey\": the directory \"missing\" does not exist", ""},
      {"output name links into a directory that takes no file", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ex");
         fs::create_symlink("/sys/vort2pelta-map", dir / "3D_Im-cav.ex");
       },
       "cannot create \"3D_Im-cav.ex\": *", ""},
      {"hidden temporary name beyond the path limit", counts_2_1_1, good_answers,
       [](const fs::path& dir) {
         write_file(dir / "t.txt", table_of(2));
         fs::remove(dir / "3D_Im-cav.ez");
         // 4090 characters that lead back to the directory itself: the name fits PATH_MAX,
         // the hidden name beside it does not.
         std::string far = "";
         while (far.size() < 4086) far += "./";
         fs::create_symlink(far + "map", dir / "3D_Im-cav.ez");
       },
       "cannot create \"3D_Im-cav.ez\": its hidden temporary name would be too long for the "
       "file system",
       ""},
      {"file-size limit reached in the body",
       {"60", "60", "1", "t.txt", "cav", "E"},
       good_answers,
       table(table_of(3600)),
       "cannot write \"3D_Re-cav.ex\": File too large",
       counted(3602, " Nx,Ny,Nz=          60          60           1\n field_id=E"),
       {"ulimit -f 40;"}},
      // A written map checked: every kind of damage, each named by its file and line.
      {"check: a count changed in one header", check_cav, "",
       damaged_map(edit_line("3D_Im-cav.ey", 1, "3.00000000", "4.00000000")),
       "\"3D_Im-cav.ey\", line 1 has 68 characters, where its count of 4 knots makes 85", ""},
      {"check: a coordinate changed in one header", check_cav, "",
       damaged_map(edit_line("3D_Im-cav.ez", 2, "0.200000003", "0.300000012")),
       "\"3D_Im-cav.ez\", line 2: the y axis differs from that of \"3D_Re-cav.ex\"", ""},
      {"check: a coordinate digit that no single-precision value is written as", check_cav, "",
       damaged_map(edit_line("3D_Im-cav.ez", 2, "0.200000003", "0.200000004")),
       "\"3D_Im-cav.ez\", line 2, value 3: \"0.200000004\" is not a number in the form of the "
       "maps",
       ""},
      {"check: coordinates out of order in every file", check_cav, "",
       damaged_map([](const fs::path& dir) {
         for (const std::string& name : outputs) {
           edit_line(name, 1, "0.100000001", "0.300000012")(dir);
         }
       }),
       "\"3D_Re-cav.ex\", line 1, value 4: the x coordinate \"0.200000003\" does not go on rising "
       "from the one before it, \"0.300000012\"",
       ""},
      {"check: a count that is no whole number", check_cav, "",
       damaged_map(edit_line("3D_Re-cav.ex", 1, "3.00000000", "3.50000000")),
       "\"3D_Re-cav.ex\", line 1: the count \"3.50000000\" is not a whole number of knots from 1 "
       "to 16777216",
       ""},
      {"check: a header line missing", check_cav, "", damaged_map([](const fs::path& dir) {
         write_file(dir / "3D_Re-cav.ey",
                    "   3.00000000       0.00000000      0.100000001      0.200000003    \n");
       }),
       "\"3D_Re-cav.ey\", line 2: missing, the file ends before it", ""},
      {"check: the last line missing", check_cav, "", damaged_map(drop_line("3D_Re-cav.ez", 5)),
       "\"3D_Re-cav.ez\", line 5: missing, the file ends before it; the axes make 5 lines", ""},
      {"check: a body line missing", check_cav, "", damaged_map(drop_line("3D_Re-cav.ez", 4)),
       "\"3D_Re-cav.ez\", line 5: missing, the file ends before it; the axes make 5 lines", ""},
      {"check: an extra line", check_cav, "",
       damaged_map(edit_line("3D_Im-cav.ex", 6, "",
                             "   7.0000000000000000        8.0000000000000000        "
                             "9.0000000000000000     ")),
       "\"3D_Im-cav.ex\", line 6: \"   7.0000000000000000        8.000000000...\" follows the "
       "last line of the body; the axes make 5 lines",
       ""},
      {"check: a value out of form", check_cav, "",
       damaged_map(edit_line("3D_Re-cav.ey", 4, "3.0000000000000000", "3.000000000000000x")),
       "\"3D_Re-cav.ey\", line 4, value 2: \"3.000000000000000x\" is not a number in the form of "
       "the maps",
       ""},
      {"check: a short line", check_cav, "",
       damaged_map(edit_line("3D_Re-cav.ey", 4, "5.0000000000000000  ", "5.0000000000000000 ")),
       "\"3D_Re-cav.ey\", line 4 has 77 characters, where the 3 x knots make 78", ""},
      {"check: a long line", check_cav, "",
       damaged_map(edit_line("3D_Re-cav.ey", 4, "5.0000000000000000  ", "5.0000000000000000   ")),
       "\"3D_Re-cav.ey\", line 4 has 79 characters, where the 3 x knots make 78", ""},
      {"check: the last line without its line end", check_cav, "",
       damaged_map([](const fs::path& dir) {
         const std::string text = read_file(dir / "3D_Re-cav.ey");
         write_file(dir / "3D_Re-cav.ey", text.substr(0, text.size() - 1));
       }),
       "\"3D_Re-cav.ey\", line 5: the file ends without its line end", ""},
      {"check: a file taken from another map", check_cav, "", damaged_map([](const fs::path& dir) {
         write_file(dir / "o.txt", "h\nh\n0 0 0 1 1 1 1 1 1\n0.1 0 0 2 2 2 2 2 2\n");
         e2e::run_vort2pelta(
             dir,
             {"--mesh=0 0 0 0.1 0 0 0.1 0.1 0.1", "--mirror=F", "2", "1", "1", "o.txt", "o", "E"},
             "");
         fs::copy_file(dir / "3D_Im-o.ez", dir / "3D_Im-cav.ez",
                       fs::copy_options::overwrite_existing);
       }),
       "\"3D_Im-cav.ez\", line 1: the x axis differs from that of \"3D_Re-cav.ex\"", ""},
      {"check: a changed value against the table",
       {"--check", "cav", "--against", "t.txt"},
       "",
       damaged_map(edit_line("3D_Im-cav.ey", 5, "4.0000000000000000", "4.0000000000000009")),
       "\"3D_Im-cav.ey\", line 5, value 2: \"4.0000000000000009\" where \"t.txt\" gives "
       "\"4.0000000000000000\"",
       ""},
      {"check: planes other than the conversion's",
       {"--check", "cav", "--against", "t.txt", "--symmetry=xz:magnetic"},
       "",
       damaged_map([](const fs::path&) {}),
       "--against: the map \"cav\" has 2 y knots, which the XZ symmetry plane cannot make: it "
       "makes an odd count, 2N - 1",
       ""},
      {"check: against a table with both maps there",
       {"--check", "cav", "--against", "t.txt"},
       "",
       damaged_map([](const fs::path& dir) {
         e2e::run_vort2pelta(dir,
                             {"--mesh=0 0 0 0.2 0.2 0 0.1 0.2 0.1", "--mirror=F", "3", "2", "1",
                              "t.txt", "cav", "B"},
                             "");
       }),
       "--against: \"cav\" names both an E map and a B map, and a table gives one of them: give "
       "its field flag after the base name, as in --check cav B",
       ""},
      {"check: files that are no map", check_cav, "", [](const fs::path&) {},
       "\"3D_Re-cav.ex\", line 1, value 1: \"existing 3D_Re-ca\" is not a number in the form of "
       "the maps",
       ""},
      {"check: a map not whole", check_cav, "",
       damaged_map([](const fs::path& dir) { fs::remove(dir / "3D_Im-cav.ey"); }),
       "the map \"cav\" is not whole: \"3D_Im-cav.ey\" is missing", ""},
      {"check: no map",
       {"--check", "none"},
       "",
       [](const fs::path&) {},
       "no map \"none\" to check: neither \"3D_Re-none.ex\" nor \"3D_Re-none.bx\" exists",
       ""},
      {"check: no map of the flag given",
       {"--check", "cav", "B"},
       "",
       damaged_map([](const fs::path&) {}),
       "no map \"cav\" to check: \"3D_Re-cav.bx\" does not exist",
       ""},
      {"check with an option of a conversion",
       {"--check", "cav", "--preview"},
       "",
       [](const fs::path&) {},
       "--check reads a written map and converts nothing: it does not go with --preview",
       ""},
      {"check with the arguments of a conversion",
       {"--check", "cav", "3"},
       "",
       [](const fs::path&) {},
       "--check takes the base name and at most the field flag, E or B, not \"3\"",
       ""},
      {"check with the unit of a table",
       {"--check", "cav", "--length-unit=mm"},
       "",
       [](const fs::path&) {},
       "--check reads a written map and converts nothing: it does not go with --length-unit",
       ""},
      {"check of an axis outside the map",
       {"--check", "cav", "--axis=5,5"},
       "",
       damaged_map([](const fs::path&) {}),
       "--axis=5,5: the line x = 5, y = 5 lies outside the map (x from 0 to 0.2, y from 0 to 0.2)",
       ""},
      {"check alone with planes",
       {"--check", "cav", "--mirror=Y"},
       "",
       [](const fs::path&) {},
       "--mirror goes with --against: the check of a map on its own converts no table",
       ""},
      {"against without check",
       {"--against", "t.txt"},
       "",
       [](const fs::path&) {},
       "--against goes with --check: it compares a written map with its table",
       ""},
  };
}

// `pattern` with * standing for any text, matched against the whole of `text`.
bool glob_match(std::string_view pattern, std::string_view text) {
  const std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) return pattern == text;
  if (text.substr(0, star) != pattern.substr(0, star)) return false;
  for (std::size_t skip = star; skip <= text.size(); ++skip) {
    if (glob_match(pattern.substr(star + 1), text.substr(skip))) return true;
  }
  return false;
}

// The lines of a table as the converter counts them: a last line without a line end counts.
std::int64_t lines_in(const std::string& text) {
  const auto ends = std::count(text.begin(), text.end(), '\n');
  return ends + (text.empty() || text.back() == '\n' ? 0 : 1);
}

bool has_option(const bad_case& c, std::string_view name) {
  return std::any_of(c.args.begin(), c.args.end(),
                     [name](const std::string& arg) { return arg.starts_with(name); });
}

// The standard output a row's run must write, whole. A one-line `last_stdout` ends the usual
// dialogue: the questions that no option answers, the echo of F, then the record count of the
// table (t.txt, or standard input for "-") before any later line.
std::string expected_stdout(const bad_case& c, const fs::path& dir) {
  if (c.last_stdout.empty()) return "";
  if (c.last_stdout.find('\n') != std::string::npos) return c.last_stdout + "\n";
  std::vector<std::string> dialogue;
  if (!has_option(c, "--mesh")) dialogue.push_back(mesh_question);
  if (!has_option(c, "--mirror")) dialogue.push_back(mirror_question);
  dialogue.push_back(full_cavity);
  std::string out;
  for (const std::string& line : dialogue) {
    out += line + "\n";
    if (line == c.last_stdout) return out;
  }
  const bool piped = std::find(c.args.begin(), c.args.end(), "-") != c.args.end();
  if (!piped && !fs::exists(dir / "t.txt")) return "(no t.txt: give the whole standard output)\n";
  const std::int64_t lines = lines_in(piped ? c.answers : read_file(dir / "t.txt"));
  return out + record_count_line(lines) + "\n" + c.last_stdout + "\n";
}

class BadInput : public testing::TestWithParam<bad_case> {};

TEST_P(BadInput, StopsWithOneLineAndLeavesFilesAlone) {
  const bad_case& c = GetParam();
  if (c.options.needs_own_memory && e2e::address_sanitizer_build) {
    GTEST_SKIP() << "left to the build without AddressSanitizer";
  }
  const fs::path dir = make_temp_dir();
  for (const std::string& name : outputs) write_file(dir / name, "existing " + name + "\n");
  c.setup(dir);
  std::vector<std::string> before = e2e::files_in(dir);
  std::vector<std::string> contents_before;  // the earlier maps', the table's, byte for byte
  for (const std::string& name : before) contents_before.push_back(read_file(dir / name));
  const std::string transcript = expected_stdout(c, dir);
  const auto run = run_vort2pelta(dir, c.args, c.answers, c.options);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(glob_match("VORT2Pelta: " + c.message + "\n", run.err)) << run.err;
  EXPECT_EQ(run.out, transcript);
  EXPECT_EQ(e2e::files_in(dir), before);
  for (std::size_t f = 0; f < before.size(); ++f) {
    EXPECT_EQ(read_file(dir / before[f]), contents_before[f]) << before[f];
  }
  if (c.most_memory_kb > 0) {
    EXPECT_LE(run.peak_rss_kb, c.most_memory_kb);
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInput, testing::ValuesIn(catalogue()),
                         [](const testing::TestParamInfo<bad_case>& info) {
                           std::string name;
                           for (const char c : info.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

}  // namespace
