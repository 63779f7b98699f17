#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.hpp"
#include "app/dialogue.hpp"
#include "app/interrupt_handler.hpp"
#include "app/progress.hpp"
#include "common/failure.hpp"
#include "failure_of.hpp"

namespace vort {
namespace {

command_line parse(const std::vector<std::string_view>& args) {
  return parse_command_line(args, name_charset::ascii);
}

TEST(CommandLine, ArgumentsAreTakenWhole) {
  const command_line line =
      parse({"12345", "2", "3", "a_table_name_that_is_longer_than_fifty_characters_in_all.txt  ",
             "a_base_name_over_18", "Bfield"});
  EXPECT_EQ(line.action, start_action::convert);
  EXPECT_EQ(line.nx_text, "12345");
  EXPECT_EQ(line.table_name, "a_table_name_that_is_longer_than_fifty_characters_in_all.txt");
  EXPECT_EQ(line.base_name, "a_base_name_over_18");
  EXPECT_EQ(line.field_id, 'B');
  const command_line long_line = parse({"3", "2", "1", "t.txt", "out/cav", "", "x", "--", "-y"});
  EXPECT_EQ(long_line.field_id, ' ');
  EXPECT_EQ(long_line.base_name, "out/cav");
  EXPECT_EQ(long_line.ignored, (std::vector<std::string>{"x", "-y"}));
}

TEST(CommandLine, HelpNoticeVersion) {
  const std::vector<std::pair<std::vector<std::string_view>, start_action>> cases = {
      {{"help"}, start_action::help},
      {{"helpme", "1"}, start_action::help},
      {{"-h"}, start_action::help_with_options},
      {{"2", "--help"}, start_action::help_with_options},
      {{"--inspect", "t.txt"}, start_action::inspect},
      {{"--inspect=t.txt", "--no-grid-check"}, start_action::inspect},
      {{"--check", "cav"}, start_action::check},
      {{"--check", "cav", "B"}, start_action::check},
      {{"--threads=2", "--check=out/cav", "--against", "t.txt", "--mirror=Y", "--no-grid-check"},
       start_action::check},
      {{"--", "-h", "1", "1", "t", "c", "E"}, start_action::convert},
      {{"--version"}, start_action::version},
      {{}, start_action::notice},
      {{""}, start_action::notice},
      {{"    7"}, start_action::notice},
      {{"   7", "1", "1", "t", "c", "E"}, start_action::convert},
      {{"Help", "1", "1", "t", "c", "E"}, start_action::convert},
      {{"hel", "1", "1", "t", "c", "E"}, start_action::convert},
  };
  for (const auto& [args, action] : cases) {
    EXPECT_EQ(parse(args).action, action) << (args.empty() ? "(none)" : args[0]);
  }
}

TEST(Options, ValuesAndPlaces) {
  const command_line line = parse({"3", "--mirror", "Y", "2", "--mesh=1,2,3 4 5 6 / 7", "1",
                                   "t.txt", "--preview", "cav", "--", "--E"});
  EXPECT_EQ(line.action, start_action::convert);
  EXPECT_EQ(line.nx_text + line.ny_text + line.nz_text, "321");
  EXPECT_EQ(line.base_name, "cav");
  EXPECT_EQ(line.field_id, '-');  // after --, an argument is positional whatever it looks like
  EXPECT_EQ(line.options.mirror, 'Y');
  EXPECT_TRUE(line.options.preview);
  ASSERT_TRUE(line.options.mesh.has_value());
  EXPECT_EQ(line.options.mesh->max[2], 6.0f);
  EXPECT_EQ(line.options.mesh->step[0], 0.0f);  // left out by the slash
  EXPECT_TRUE(parse({"--mesh", "auto", "1", "1", "1", "t", "c", "E"}).options.mesh_auto);
  EXPECT_EQ(parse({"-5", "1", "1", "t", "c", "E"}).nx_text, "-5");  // a count, not an option
  EXPECT_TRUE(parse({"--inspect", "t.txt", "--format", "json"}).options.json);
  // --inspect followed by an option takes the next positional argument, "-" included.
  for (const std::vector<std::string_view>& args :
       {std::vector<std::string_view>{"--inspect", "--format=json", "t.txt"},
        {"--inspect", "--format", "json", "t.txt"},
        {"--format=json", "--inspect", "t.txt"},
        {"--inspect=t.txt", "--format=json"}}) {
    const command_line inspect = parse(args);
    EXPECT_EQ(inspect.action, start_action::inspect);
    EXPECT_EQ(inspect.options.inspect, "t.txt");
    EXPECT_TRUE(inspect.options.json);
  }
  EXPECT_EQ(parse({"--inspect", "--format=text", "-"}).options.inspect, "-");
}

TEST(Options, RefusedUpFront) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> refused = {
      {{"--frobnicate", "1"},
       "unknown option \"--frobnicate\" (VORT2Pelta --help lists the options)"},
      {{"1", "--mirror"}, "option --mirror needs a value (VORT2Pelta --help lists the options)"},
      {{"--preview=yes"}, "option --preview takes no value (VORT2Pelta --help lists the options)"},
      {{"--mirror=y"}, "--mirror=y: the mirror is Y, X or F; did you mean Y?"},
      {{"--mirror=Yes"}, "--mirror=Yes: the mirror is Y, X or F"},
      {{"--mesh=1,2,3"},
       "--mesh gives 3 of the 9 mesh values (end it with a slash to leave the "
       "rest zero)"},
      {{"--mesh=1 2 x"}, "--mesh: cannot read \"x\" as a number (value 3 of the mesh data)"},
      {{"--mesh=1 2 3 4 5 6 7 8 9 abc"}, "--mesh gives more than the 9 mesh values"},
      {{"--symmetry=yz:magnetic:middle"},
       "--symmetry=yz:magnetic:middle: \"yz:magnetic:middle\" names no end of the axis "
       "(PLANE:WALL:first or PLANE:WALL:last)"},
      {{"--symmetry=zz:magnetic"},
       "--symmetry=zz:magnetic: \"zz:magnetic\" names no plane (yz, xz or xy)"},
      {{"--symmetry=xy:electric,XY:magnetic"},
       "--symmetry=xy:electric,XY:magnetic: the XY plane is listed twice"},
      {{"--mirror=Y", "--symmetry=yz:magnetic"},
       "--mirror and --symmetry cannot go together: --mirror=Y is --symmetry=yz:magnetic, "
       "--mirror=X is --symmetry=xz:magnetic"},
      {{"--mesh=1,2,3,4,5,6,7,8,9,10"}, "--mesh gives more than the 9 mesh values"},
      {{"--mesh=auto", "--no-grid-check"},
       "--mesh=auto takes the mesh from the records' positions, which --no-grid-check leaves "
       "unread"},
      {{"--inspect", "t.txt", "3"}, "--inspect takes the table alone, not \"3\""},
      {{"--inspect", "--preview", "t.txt"},
       "--inspect describes a table and converts nothing: it does not go with --preview"},
      {{"--inspect", "--format=json", "t.txt", "3"}, "--inspect takes the table alone, not \"3\""},
      {{"t.txt", "--inspect", "--format=json"},
       "option --inspect needs a value (VORT2Pelta --help lists the options)"},
      {{"--mirror=Y", "--inspect=t.txt", "--strict"},
       "--inspect describes a table and converts nothing: it does not go with --mirror"},
      {{"--inspect"}, "option --inspect needs a value (VORT2Pelta --help lists the options)"},
      {{"--check"}, "option --check needs a value (VORT2Pelta --help lists the options)"},
      {{"--check", "cav", "--strict"},
       "--check reads a written map and converts nothing: it does not go with --strict"},
      {{"--inspect", "t.txt", "--check", "cav"},
       "--check reads a written map and converts nothing: it does not go with --inspect"},
      {{"--check", "cav", "--format=json"},
       "--check reads a written map and converts nothing: it does not go with --format"},
      {{"--check", "cav", "--no-grid-check"},
       "--no-grid-check goes with --against: the check of a map on its own converts no table"},
      {{"--against", "t.txt", "1", "1", "1", "t.txt", "cav", "E"},
       "--against goes with --check: it compares a written map with its table"},
      {{"--check", "cav", "1", "1", "1", "t.txt", "cav", "E"},
       "--check takes the base name and at most the field flag, E or B, not \"1\""},
      {{"--check", "cav", "B", "E"},
       "--check takes the base name and at most the field flag, E or B, not \"E\""},
      {{"--check", "cav", "e"},
       "--check takes the base name and at most the field flag, E or B, not \"e\""},
      {{"--mesh", "--strict", "1"},
       "option --mesh needs a value (VORT2Pelta --help lists the options)"},
      {{"--inspect", "t.txt", "--format=xml"}, "--format=xml: the format is text or json"},
      {{"--format=json", "1", "1", "1", "t.txt", "cav", "E"},
       "--format goes with --inspect: a conversion has no other form"},
      {{"1"},
       "a conversion takes six arguments (Nx Ny Nz vort_file_name output_files_names "
       "Field_flag); 1 given: Ny, Nz, the table name, the base name and the field flag are "
       "missing"},
      {{"1", "1", "1", "t.txt", "cav"},
       "a conversion takes six arguments (Nx Ny Nz vort_file_name output_files_names "
       "Field_flag); 5 given: the field flag is missing"},
      {{"1", "1", "1", "t.txt", "  ", "E"}, "the base name (argument 5) is blank"},
      {{"1", "1", "1", "t.txt", "out/", "E"},
       "the base name \"out/\" ends in a slash: it must end with the name of the maps, as in "
       "out/cavity"},
  };
  for (const auto& [args, message] : refused) {
    const std::vector<std::string_view> arguments = args;
    EXPECT_EQ(failure_of([&] { parse(arguments); }), message);
  }
}

TEST(Dialogue, GridCountTexts) {
  EXPECT_EQ(parse_grid_count("41", "Nx", 1, name_charset::ascii), 41);
  EXPECT_EQ(parse_grid_count(" 7", "Nx", 1, name_charset::ascii), 7);
  EXPECT_EQ(parse_grid_count("12,3", "Nx", 1, name_charset::ascii), 12);
  EXPECT_EQ(parse_grid_count("12345", "Nx", 1, name_charset::ascii), 12345);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"4.5", "Nx (argument 1): cannot read \"4.5\" as an integer"},
      {"1e3", "Nx (argument 1): cannot read \"1e3\" as an integer"},
      {"", "Nx (argument 1) is missing or blank"},
      {"   ", "Nx (argument 1) is missing or blank"},
      {"99999999999", "Nx (argument 1): \"99999999999\" is outside the 32-bit integer range"},
  };
  for (const auto& [text, message] : refused) {
    const std::string& count = text;  // a lambda may not capture a structured binding
    EXPECT_EQ(failure_of([&] { parse_grid_count(count, "Nx", 1, name_charset::ascii); }), message)
        << text;
  }
}

TEST(Dialogue, MeshAnswerAndMirror) {
  std::istringstream in("1, 2 ,3\n\n4 5 6 7 8 9 Y\nXZ please\n");
  std::ostringstream out;
  console_input console{&in, 0, {}};
  const mesh_data mesh = ask_mesh_data(out, console, name_charset::ascii);
  EXPECT_EQ(mesh.min[0], 1);
  EXPECT_EQ(mesh.max[2], 6);
  EXPECT_EQ(mesh.step[2], 9);
  EXPECT_EQ(ask_mirror(out, console), 'X');

  std::istringstream partial("1 2 / 9\nF\n");
  console_input partial_console{&partial, 0, {}};
  const mesh_data left_out = ask_mesh_data(out, partial_console, name_charset::ascii);
  EXPECT_EQ(left_out.min[1], 2);
  EXPECT_EQ(left_out.min[2], 0);
  EXPECT_EQ(left_out.step[2], 0);

  // Each value is rounded once, from its text, to single precision: this one lies just below
  // the midpoint of two floats, which a double rounds it onto (and then on, to the even one).
  std::istringstream near_tie("1.000000178813934326171874 0 0 0 0 0 0 0 1.5D-03\n");
  console_input near_tie_console{&near_tie, 0, {}};
  const mesh_data once = ask_mesh_data(out, near_tie_console, name_charset::ascii);
  EXPECT_EQ(once.min[0], 0x1.000002p+0f);
  EXPECT_EQ(once.step[2], 1.5e-3f);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"1 2 3\n4 abc 6\n",
       "standard input:2: cannot read \"abc\" as a number (value 5 of the mesh data)"},
      {"1 2 3\n", "standard input ended before the mesh data were complete (3 of 9 values read)"},
      {"", "standard input ended before the mesh data were complete (0 of 9 values read)"},
      {"1 2 3 4 5 6 7 8 1e39\n",
       "value 9 of the mesh data (1e+39) is too large for single precision"},
      {"1 2 3 4 5 6 7 8 -3.4028236e38\n",
       "value 9 of the mesh data (-3.4028236e+38) is too large for single precision"},
  };
  for (const auto& [text, message] : refused) {
    std::istringstream bad(text);
    console_input bad_console{&bad, 0, {}};
    EXPECT_EQ(failure_of([&] { ask_mesh_data(out, bad_console, name_charset::ascii); }), message)
        << text;
  }
  // FLT_MAX's usual text rounds to FLT_MAX, not to infinity.
  std::istringstream largest("3.4028235e38 0 0 0 0 0 -3.4028235e38 0 0\n");
  console_input largest_console{&largest, 0, {}};
  const mesh_data extremes = ask_mesh_data(out, largest_console, name_charset::ascii);
  EXPECT_EQ(extremes.min[0], std::numeric_limits<float>::max());
  EXPECT_EQ(extremes.step[0], -std::numeric_limits<float>::max());

  std::istringstream no_mirror("1 2 3 4 5 6 7 8 9\n");
  console_input no_mirror_console{&no_mirror, 0, {}};
  ask_mesh_data(out, no_mirror_console, name_charset::ascii);
  EXPECT_EQ(failure_of([&] { ask_mirror(out, no_mirror_console); }),
            "standard input ended before the mirror answer");
}

// `ulimit -t` sets the soft and the hard CPU-time limit alike, and the hard one ends a
// process by SIGKILL: the soft one goes a second lower, for a SIGXCPU that cleans up first.
// Each case runs in a child process, whose limits are its own.
TEST(InterruptHandler, CpuTimeLimitLeavesASecondForSigxcpu) {
  const rlim_t unlimited = RLIM_INFINITY;
  const std::vector<std::array<rlim_t, 3>> cases = {
      {60, 60, 59}, {30, 60, 30}, {2, 2, 1}, {1, 1, 1}, {unlimited, unlimited, unlimited}};
  for (const auto& [soft, hard, lowered] : cases) {
    const pid_t child = fork();
    if (child == 0) {
      const rlimit set{soft, hard};
      rlimit got{};
      const bool done = setrlimit(RLIMIT_CPU, &set) == 0 &&
                        (leave_time_for_sigxcpu(), getrlimit(RLIMIT_CPU, &got) == 0);
      _exit(done && got.rlim_cur == lowered && got.rlim_max == hard ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << soft << " " << hard;
  }
}

TEST(Progress, RendersPhasePercentAndRate) {
  EXPECT_EQ(render_progress(work_phase::reading, 50, 200, 0.5), "reading table  25%  0.0 MB/s");
  EXPECT_EQ(render_progress(work_phase::reading, 300000000, 600000000, 1.0),
            "reading table  50%  300.0 MB/s");
  EXPECT_EQ(render_progress(work_phase::writing, 12000000, 12000000, 0.5),
            "writing maps  100%  24.0 M values/s");
}

// The drawer shows nothing during a phase's first second, then the line, and starts the
// count again at each new phase; a phase's end erases the line.
TEST(Progress, DrawsAfterASecondAndErasesAtTheEnd) {
  using std::chrono::milliseconds;
  const std::chrono::steady_clock::time_point start{};
  struct wake {
    milliseconds at;
    work_phase phase;
    std::uint64_t done;
    std::string line;
  };
  const std::vector<wake> wakes = {
      {milliseconds(0), work_phase::idle, 0, ""},
      {milliseconds(200), work_phase::reading, 500, ""},
      {milliseconds(1199), work_phase::reading, 500, ""},
      {milliseconds(1200), work_phase::reading, 500, "reading table  50%  0.0 MB/s"},
      {milliseconds(3200), work_phase::reading, 1000, "reading table 100%  0.0 MB/s"},
      {milliseconds(3400), work_phase::writing, 0, ""},
      {milliseconds(4399), work_phase::writing, 0, ""},
      {milliseconds(4400), work_phase::writing, 1000, "writing maps  100%  0.0 M values/s"},
      {milliseconds(4600), work_phase::idle, 0, ""},
  };
  progress_clock clock;
  work_counter counter;
  counter.total = 1000;
  for (const wake& w : wakes) {
    counter.phase = w.phase;
    counter.done = w.done;
    EXPECT_EQ(progress_line_at(clock, counter, start + w.at), w.line) << w.at.count();
  }

  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  progress_display display;
  display.stream = stream;
  start_phase(&display.counter, work_phase::reading, 1000);
  draw_progress_line(display, "reading table  50%  0.0 MB/s");
  end_progress_phase(&display);
  end_progress_phase(&display);  // nothing stands there now: nothing to erase
  std::rewind(stream);
  char text[256] = {};
  const std::size_t length = std::fread(text, 1, sizeof text - 1, stream);
  std::fclose(stream);
  EXPECT_EQ(std::string(text, length), "\r\x1b[2Kreading table  50%  0.0 MB/s\r\x1b[2K");
}

// A stop ends the drawer's pause between two wakes at once: with an hour's pause, the test
// ends only if it does.
TEST(Progress, StopDoesNotWaitForThePause) {
  progress_display display;
  display.pause = std::chrono::hours(1);
  start_progress(display, stdout);
  stop_progress(display);
  EXPECT_FALSE(display.drawer.joinable());
  EXPECT_FALSE(display.shown);
}

}  // namespace
}  // namespace vort
