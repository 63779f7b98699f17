// End-to-end runs of the built converter: transcripts, golden field maps, and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::files_in;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

std::string expected_help() {
  const std::string indent(11, ' ');
  return "\n"
         " " +
         std::string(28, '*') + "    INSTRUCTIONS    " + std::string(30, '*') +
         "\n"
         " Launch the converter as:\n"
         " VOTR2Pelta Nx Ny Nz vort_file_name output_files_names Field_flag\n"
         "\n"
         " Nx,Ny,Nz are the nuber of grid knots along z,y,z\n"
         "\n"
         " Attention: If on YZ plane there is a mirror (a symmetrical plane) Nx will be\n"
         " " +
         indent +
         "int(Nx_final/2)+1 (Nx_final is the number that will appear in the\n"
         " " +
         indent +
         "Pelta 3D field map file)\n"
         " Field_flag=E for the Electric field map\n"
         " Field_flag=B for the Magnetic field map\n"
         "\n"
         " The code will ask: \n"
         " (1) starting mesh points (wrote in the first record of the VORT maps)\n"
         " and the dimention of the mesh element dx,dy,dz (all in meters)\n"
         " (2) if there are some simmetric plane in the vort map (YZ or XZ)\n"
         "\n"
         " Example: VORT2Pelta 21 11 101 cavity.txt cav E   (then answer the two questions)\n"
         " " +
         std::string(78, '*') +
         "\n"
         "\n";
}

const std::string notice =
    "\n"
    " It has to be launched by prompt\n"
    " \"VORT2Pelta help\" for more informations\n"
    "\n"
    " push enter to exit\n";

const std::string mesh_prompt =
    " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):\n"
    " Magnetic mirror:Y,X,F(False)\n";

// A table of `records` records whose field value in column c of record r is r + c / 10, and
// whose positions are all zero (such a table fits any grid).
std::string numbered_table(int records, const std::string& last_line = "") {
  std::ostringstream text;
  text << " header line one\n header line two\n";
  for (int r = 1; r <= records; ++r) {
    text << " 0 0 0";
    for (int c = 4; c <= 9; ++c) text << ' ' << r << '.' << c;
    text << '\n';
  }
  text << last_line;
  return text.str();
}

struct scratch {
  fs::path dir = make_temp_dir();
  ~scratch() { fs::remove_all(dir); }
};

// "help" prints the page alone, byte for byte; -h and --help add the list of options. The
// widths of the blank-padded and starred lines (after each line's leading blank) are part of
// the page.
TEST(Transcript, HelpPage) {
  std::istringstream page(expected_help());
  std::vector<std::size_t> widths;
  for (std::string line; std::getline(page, line);) {
    widths.push_back(line.empty() ? 0 : line.size() - 1);
  }
  EXPECT_EQ(widths, (std::vector<std::size_t>{0,  78, 24, 64, 0,  48, 0, 76, 76, 35, 39,
                                              39, 0,  19, 69, 62, 64, 0, 80, 78, 0}));
  for (const std::string arg : {"help", "helpme", "help2", "-h", "--help"}) {
    scratch s;
    const auto run = run_vort2pelta(s.dir, {arg, "2", "2", "t.txt", "cav", "E"}, "");
    EXPECT_EQ(run.status, 0) << arg;
    if (arg.front() == '-') {
      EXPECT_EQ(run.out.substr(0, expected_help().size()), expected_help()) << arg;
      const std::string options = run.out.substr(expected_help().size());
      EXPECT_EQ(options.rfind(" Options (anywhere on the command line; -- ends them):\n", 0), 0u);
      for (const char* name : {"--mesh", "--mirror", "--preview", "--no-grid-check", "--inspect",
                               "--check BASE", "--against TABLE", "--help", "--version"}) {
        EXPECT_NE(options.find(name), std::string::npos) << name;
      }
    } else {
      EXPECT_EQ(run.out, expected_help()) << arg;
    }
    EXPECT_EQ(run.err, "") << arg;
    EXPECT_TRUE(files_in(s.dir).empty()) << arg;
  }
}

// Other spellings are a conversion's first count, refused before any question.
TEST(Transcript, NoHelpForOtherSpellings) {
  for (const std::string arg : {"Help", "HELP", "hel"}) {
    scratch s;
    const auto run =
        run_vort2pelta(s.dir, {arg, "2", "2", "t.txt", "cav", "E"}, "0 0 0 0 0 0 1 1 1\nF\n");
    EXPECT_EQ(run.status, 1) << arg;
    EXPECT_EQ(run.out, "") << arg;
    EXPECT_EQ(run.err, "VORT2Pelta: Nx (argument 1): cannot read \"" + arg + "\" as an integer\n");
  }
}

TEST(Transcript, NoticeWaitsForEnter) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {""}, {"    5", "2"}, {"   "}}) {
    scratch s;
    const auto run = run_vort2pelta(s.dir, args, "\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, notice);
    EXPECT_EQ(run.err, "");
  }
  scratch s;
  const auto run = run_vort2pelta(s.dir, {}, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, notice);
  EXPECT_EQ(run.err, "VORT2Pelta: standard input ended while waiting for Enter\n");
}

struct dialogue_case {
  std::string name;
  std::vector<std::string> counts;
  std::string input;
  std::string echo;  // the mirror echo line
  std::string counts_line;
  std::string warning;  // standard error: a warning for an answer that is none of the choices
};

// The dialogue's echo lines, with the field widths of the record count and the grid counts.
TEST(Transcript, DialogueEchoes) {
  const std::string counts_3_2_2 = " Nx,Ny,Nz=           3           2           2\n";
  const std::vector<dialogue_case> cases = {
      {"one line",
       {"3", "2", "2"},
       "0,0,0,1,1,1,0.5,0.5,0.5\nF\n",
       " full cavity, no mirrors\n",
       counts_3_2_2},
      {"three lines",
       {"3", "2", "2"},
       "0 0 0\n1 1 1\n0.5 0.5 0.5\nF\n",
       " full cavity, no mirrors\n",
       counts_3_2_2},
      {"mirror on the mesh line is thrown away",
       {"3", "2", "2"},
       "0 0 0 1 1 1 0.5 0.5 0.5 Y\nX\n",
       " XZ magnetic mirror\n",
       counts_3_2_2},
      {"Yes", {"3", "2", "2"}, "0 0 0 1 1 1 1 1 1\nYes\n", " YZ magnetic mirror\n", counts_3_2_2},
      {"lower case",
       {"3", "2", "2"},
       "0 0 0 1 1 1 1 1 1\ny\n",
       " error!\n",
       counts_3_2_2,
       "VORT2Pelta: warning: the mirror answer \"y\" is not Y, X or F: the map is written without "
       "a mirror; did you mean Y?\n"},
      {"empty answer",
       {"3", "2", "2"},
       "0 0 0 1 1 1 1 1 1\n\n",
       " error!\n",
       counts_3_2_2,
       "VORT2Pelta: warning: the mirror answer \"\" is not Y, X or F: the map is written without "
       "a mirror\n"},
      {"blank before the answer",
       {"3", "2", "2"},
       "0 0 0 1 1 1 1 1 1\n xz\n",
       " error!\n",
       counts_3_2_2,
       "VORT2Pelta: warning: the mirror answer \" xz\" is not Y, X or F: the map is written "
       "without "
       "a mirror; did you mean X?\n"},
      {"no choice at all",
       {"3", "2", "2"},
       "0 0 0 1 1 1 1 1 1\nno\n",
       " error!\n",
       counts_3_2_2,
       "VORT2Pelta: warning: the mirror answer \"no\" is not Y, X or F: the map is written without "
       "a mirror\n"},
      {"blank-led counts",
       {" 3", "  2", "2,7"},
       "0 0 0 1 1 1 1 1 1\nF\n",
       " full cavity, no mirrors\n",
       counts_3_2_2},
  };
  for (const dialogue_case& c : cases) {
    scratch s;
    write_file(s.dir / "t.txt", numbered_table(12));
    const auto run = run_vort2pelta(
        s.dir, {c.counts[0], c.counts[1], c.counts[2], "t.txt", "cav", "E"}, c.input);
    EXPECT_EQ(run.status, 0) << c.name << run.err;
    EXPECT_EQ(run.out, mesh_prompt + c.echo + " file record=          12\n" + c.counts_line +
                           " field_id=E\n")
        << c.name;
    // The warning comes first; the wall check may add lines for the planes after it.
    EXPECT_EQ(run.err.substr(0, c.warning.size()), c.warning) << c.name;
    if (c.warning.empty()) {
      EXPECT_EQ(run.err.find("mirror answer"), std::string::npos) << c.name;
    }
  }
}

TEST(Transcript, NegativeCountIsRefusedBeforeTheQuestions) {
  scratch s;
  write_file(s.dir / "t.txt", numbered_table(2));
  const auto run =
      run_vort2pelta(s.dir, {"-5", "2", "2", "t.txt", "cav", "E"}, "0 0 0 1 1 1 1 1 1\nF\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "VORT2Pelta: grid counts must be at least 1, got Nx=-5, Ny=2, Nz=2\n");
}

// The positions checked: counts that do not fit them are refused (the catalogue of failures
// shows the message); --no-grid-check converts as before; a mesh answer that disagrees with
// the positions converts with a warning.
TEST(GridCheck, OptionOutAndMeshWarnings) {
  const std::string table =
      " h\n h\n0 0 0 1 1 1 1 1 1\n0 0 0.5 2 2 2 2 2 2\n0.1 0 0 3 3 3 3 3 3\n0.1 0 0.5 4 4 4 4 4 "
      "4\n";
  struct warning_case {
    std::vector<std::string> args;
    std::string answers;
    std::string err;
  };
  const std::vector<warning_case> cases = {
      {{"2", "1", "2", "t.txt", "cav", "E"}, "0 0 0 0.1 0 0.5 0.1 1 0.5\nF\n", ""},
      {{"2", "1", "2", "t.txt", "cav", "E"},
       "0 0 0 0.1 0 0.5 1 1 0.5\nF\n",
       "VORT2Pelta: warning: the mesh data give dx = 1 m, the table's x step is 0.1 (10 times "
       "smaller)\n"},
      {{"1", "2", "2", "--no-grid-check", "t.txt", "cav", "E"}, "0 0 0 0 0 0 1 1 1\nF\n", ""},
      // Nx one too large: the missing plane has no positions to check.
      {{"3", "1", "2", "t.txt", "cav", "E"},
       "0 0 0 0.2 0 0.5 0.1 1 0.5\nF\n",
       "VORT2Pelta: warning: \"t.txt\" holds 4 records for 6 knots; the last 2 knots have no "
       "record and are written as zero, a whole x plane among them: is Nx too large?\n"},
      // Nz one too large: the records end inside an x plane, so the table looks cut short.
      {{"2", "1", "3", "--no-grid-check", "t.txt", "cav", "E"},
       "0 0 0 0.1 0 0.5 0.1 1 0.5\nF\n",
       "VORT2Pelta: warning: \"t.txt\" holds 4 records for 6 knots; the last 2 knots have no "
       "record and are written as zero: the table ends early at knot (2, 1, 1) and may be cut "
       "short\n"},
  };
  for (const warning_case& c : cases) {
    scratch s;
    write_file(s.dir / "t.txt", table);
    const auto run = run_vort2pelta(s.dir, c.args, c.answers);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(files_in(s.dir).size(), 7u);
  }
}

// Golden runs: each directory under golden/ holds `args` (one argument per line), `stdin`,
// the table files it names, and `expected/` with the transcript and the six map files.
class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesByteForByte) {
  const fs::path source = fs::path(VORT2PELTA_GOLDEN_DIR) / GetParam();
  scratch s;
  std::vector<std::string> args;
  std::istringstream arg_lines(read_file(source / "args"));
  for (std::string arg; std::getline(arg_lines, arg);) args.push_back(arg);
  for (const auto& entry : fs::directory_iterator(source)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "args" && name != "stdin") {
      fs::copy_file(entry.path(), s.dir / name);
    }
  }
  const std::vector<std::string> inputs = files_in(s.dir);
  const auto run = run_vort2pelta(s.dir, args, read_file(source / "stdin"));
  const fs::path expected = source / "expected";
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, read_file(expected / "stdout"));
  const std::string expected_err =
      fs::exists(expected / "stderr") ? read_file(expected / "stderr") : std::string();
  EXPECT_EQ(run.err, expected_err);
  std::vector<std::string> produced;
  for (const std::string& name : files_in(s.dir)) {
    if (std::find(inputs.begin(), inputs.end(), name) == inputs.end()) produced.push_back(name);
  }
  std::vector<std::string> wanted = files_in(expected);
  std::erase(wanted, "stdout");
  std::erase(wanted, "stderr");
  EXPECT_EQ(produced, wanted);
  for (const std::string& name : wanted) {
    EXPECT_EQ(read_file(s.dir / name), read_file(expected / name)) << name;
  }
}

std::vector<std::string> golden_cases() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(VORT2PELTA_GOLDEN_DIR)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(golden_cases()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
