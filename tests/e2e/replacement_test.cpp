// A run replaces earlier maps only when all six new ones are complete: a failure to write
// standard output, a signal during the read, the write or the renames, an address-space
// limit or a second run at the same time never leaves a map half-written, an earlier map
// changed, a mix of earlier and new maps, or a temporary file behind.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::files_in;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_options;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

const std::vector<std::string> outputs = {"3D_Re-cav.ex", "3D_Re-cav.ey", "3D_Re-cav.ez",
                                          "3D_Im-cav.ex", "3D_Im-cav.ey", "3D_Im-cav.ez"};

// A table of n x n x n knots whose values differ from knot to knot (and from those of a
// table of another `shift`).
std::string cube_table(int n, double shift = 0) {
  std::string text = "header\nheader\n";
  char line[200];
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) {
        std::snprintf(line, sizeof line, "%d %d %d %.7e %.7e %.7e %.7e %.7e %.7e\n", i, j, k,
                      i + 0.5 + shift, j - 0.25 + shift, k * 1e-3 + shift, i * j * 1.5 + shift,
                      -k * 2.5 + shift, (i + j + k) * 0.125 + shift);
        text += line;
      }
    }
  }
  return text;
}

std::vector<std::string> counts_of(int n, const std::string& table,
                                   const std::string& base = "cav") {
  const std::string count = std::to_string(n);
  return {count, count, count, table, base, "E"};
}

const std::string answers = "0 0 0 1 1 1 1 1 1\nF\n";

// A directory holding earlier maps, and the check that they are still there, unchanged,
// with nothing beside them.
struct earlier_maps {
  fs::path dir = make_temp_dir();
  std::vector<std::string> before;
  earlier_maps() {
    for (const std::string& name : outputs) write_file(dir / name, "earlier " + name + "\n");
    before = files_in(dir);
  }
  ~earlier_maps() { fs::remove_all(dir); }
  void expect_untouched() const {
    for (const std::string& name : outputs) {
      EXPECT_EQ(read_file(dir / name), "earlier " + name + "\n") << name;
    }
    EXPECT_EQ(files_in(dir), before);
  }
};

// The maps of a run that nothing disturbs, to compare others with.
std::vector<std::string> reference_maps(const std::vector<std::string>& args,
                                        const run_options& options = {}) {
  const fs::path dir = make_temp_dir();
  const auto run = run_vort2pelta(dir, args, answers, options);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> maps;
  for (const std::string& name : outputs) maps.push_back(read_file(dir / name));
  fs::remove_all(dir);
  return maps;
}

// Whether the maps in `dir` are `maps`, compared block by block without reading them whole.
bool maps_are(const fs::path& dir, const std::vector<std::string>& maps) {
  for (std::size_t u = 0; u < outputs.size(); ++u) {
    std::ifstream in(dir / outputs[u], std::ios::binary);
    char block[1 << 16];
    std::size_t at = 0;
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      const auto got = static_cast<std::size_t>(in.gcount());
      if (maps[u].compare(at, got, block, got) != 0) return false;
      at += got;
    }
    if (at != maps[u].size()) return false;
  }
  return true;
}

std::vector<std::string> maps_in(const fs::path& dir) {
  std::vector<std::string> maps;
  for (const std::string& name : outputs) maps.push_back(read_file(dir / name));
  return maps;
}

struct stdout_case {
  std::string name;
  std::vector<std::string> args;
  run_options options;
  std::string reason;
};

TEST(StandardOutput, AFailedWriteIsReportedAndTouchesNoMap) {
  const std::vector<stdout_case> cases = {
      {"version to a full disk",
       {"--version"},
       {.stdout_path = "/dev/full"},
       "No space left on device"},
      {"help into a closed pipe", {"help"}, {.stdout_closed_pipe = true}, "Broken pipe"},
      {"conversion to a full disk",
       counts_of(2, "t.txt"),
       {.stdout_path = "/dev/full"},
       "No space left on device"},
      {"conversion into a closed pipe",
       counts_of(2, "t.txt"),
       {.stdout_closed_pipe = true},
       "Broken pipe"},
  };
  for (const stdout_case& c : cases) {
    earlier_maps maps;
    write_file(maps.dir / "t.txt", cube_table(2));
    maps.before = files_in(maps.dir);
    const auto run = run_vort2pelta(maps.dir, c.args, answers, c.options);
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, "VORT2Pelta: cannot write standard output: " + c.reason + "\n") << c.name;
    maps.expect_untouched();
  }
}

// A table large enough that its read, its write and its renames each take a while, made
// once, the arguments of a run that writes nothing on standard error when it completes (the
// mesh from the table), and the maps that a run that nothing disturbs makes of it.
class Interrupts : public testing::Test {
 protected:
  static constexpr int n = 50;
  static fs::path table_dir;
  static std::vector<std::string> args;
  static std::vector<std::string> new_maps;
  static void SetUpTestSuite() {
    table_dir = make_temp_dir();
    write_file(table_dir / "big.txt", cube_table(n));
    args = counts_of(n, (table_dir / "big.txt").string());
    args.insert(args.begin(), {"--mesh=auto", "--mirror=F"});
    new_maps = reference_maps(args);
  }
  static void TearDownTestSuite() { fs::remove_all(table_dir); }
};
fs::path Interrupts::table_dir;
std::vector<std::string> Interrupts::args;
std::vector<std::string> Interrupts::new_maps;

bool temporary_in(const fs::path& dir) {
  for (const std::string& name : files_in(dir)) {
    if (name.front() == '.') return true;
  }
  return false;
}

// Waits (up to 60 s) until `ready` holds, polling every few milliseconds.
template <class Condition>
bool wait_until(Condition ready) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Told at once when a file whose name ends in `suffix` is created in `dir`: the moment a
// commit starts keeping the earlier maps under second names, too short to find by polling.
struct creation_watch {
  int fd = inotify_init1(IN_CLOEXEC);
  explicit creation_watch(const fs::path& dir) { inotify_add_watch(fd, dir.c_str(), IN_CREATE); }
  ~creation_watch() { close(fd); }
  bool wait_for(const std::string& suffix) const {
    alignas(inotify_event) char events[4096];
    pollfd ready{fd, POLLIN, 0};
    while (poll(&ready, 1, 60000) == 1) {
      const ssize_t got = read(fd, events, sizeof events);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        const std::string name = event->len > 0 ? event->name : "";
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          return true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return false;
  }
};

enum class moment { reading, writing, renaming };

// Every signal that ends a run, at several moments: while the table is read (no file yet),
// while the maps are written (temporaries), while they are renamed into place (held back
// until the whole set is in place). Either the earlier set or the new set is whole
// afterwards, never a mix, and nothing hidden is left. Every signal meets the renames, where
// a signal not held back would mix the sets, and one moment before them.
TEST_F(Interrupts, LeaveOneWholeSetAndNoTemporary) {
  struct signal_case {
    int signal_number;
    std::string signal_name;
    std::vector<moment> moments;
  };
  const std::vector<moment> all = {moment::reading, moment::writing, moment::renaming};
  const std::vector<moment> read = {moment::reading, moment::renaming};
  const std::vector<moment> write = {moment::writing, moment::renaming};
  const std::vector<signal_case> signals = {
      {SIGINT, "SIGINT", all},
      {SIGTERM, "SIGTERM", all},
      {SIGHUP, "SIGHUP", read},
      {SIGQUIT, "SIGQUIT", write},
      {SIGALRM, "SIGALRM", read},
      {SIGUSR1, "SIGUSR1", write},
      {SIGUSR2, "SIGUSR2", read},
      {SIGXCPU, "SIGXCPU", write},
      {SIGVTALRM, "SIGVTALRM", read},
      {SIGPROF, "SIGPROF", write},
      {SIGIO, "SIGIO", read},
      {SIGPWR, "SIGPWR", write},
      {SIGSTKFLT, "SIGSTKFLT", read},
      {SIGRTMIN, "SIGRTMIN", write},
      {SIGRTMIN + 3, "SIGRTMIN+3", read},
  };
  // What the line says after "interrupted by SIGNAL; " at each moment.
  const std::vector<std::string> consequences = {
      "no file was written", "the unfinished maps were removed, earlier files left as they were",
      "the new maps were already complete"};
  for (const auto& [signal_number, signal_name, moments] : signals) {
    for (const moment when : moments) {
      const std::string label = signal_name + " " + std::to_string(static_cast<int>(when));
      earlier_maps maps;
      const creation_watch watch(maps.dir);
      // A signal that dumps core must leave no core file beside the maps.
      const e2e::running run =
          e2e::start_vort2pelta(maps.dir, args, "", {.shell_prefix = "ulimit -c 0;"});
      bool reached = false;
      if (when == moment::reading) {
        reached = wait_until(
            [&] { return e2e::output_so_far(run).find("Nx,Ny,Nz=") != std::string::npos; });
      } else {
        reached = watch.wait_for(when == moment::writing ? ".tmp" : ".old");
      }
      ASSERT_TRUE(reached) << label;
      kill(run.pid, signal_number);
      const auto result = e2e::finish_vort2pelta(run);
      // What the line says must fit the moment, or a later one where the run got ahead of
      // the signal on a busy machine (up to its end: then it says nothing), and the files
      // must fit what it says.
      const std::string head = "VORT2Pelta: interrupted by " + signal_name + "; ";
      const auto said = std::find_if(consequences.begin(), consequences.end(),
                                     [&](auto& text) { return result.err == head + text + "\n"; });
      const bool ended_first = result.err.empty();
      const std::size_t outcome =
          ended_first ? consequences.size() : static_cast<std::size_t>(said - consequences.begin());
      ASSERT_TRUE(ended_first || said != consequences.end()) << label << ": " << result.err;
      EXPECT_GE(outcome, static_cast<std::size_t>(when)) << label << ": " << result.err;
      EXPECT_TRUE(result.status == 128 + signal_number || (ended_first && result.status == 0))
          << label << ": " << result.status;
      if (outcome >= static_cast<std::size_t>(moment::renaming)) {
        EXPECT_TRUE(maps_are(maps.dir, new_maps)) << label;
        EXPECT_EQ(files_in(maps.dir), maps.before) << label;
      } else {
        maps.expect_untouched();
      }
    }
  }
}

// Whether the run has ended, left to be waited for.
bool ended(const e2e::running& run) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(run.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == run.pid;
}

// A run into the names that another is writing (held still meanwhile) waits for it, says so
// once, and goes on once the other has renamed its set: both complete, one after the other,
// and the set in place is whole with nothing hidden beside it.
TEST_F(Interrupts, ARunIntoTheSameNamesWaitsForTheOther) {
  earlier_maps maps;
  const creation_watch watch(maps.dir);
  const e2e::running first = e2e::start_vort2pelta(maps.dir, args, "");
  const bool writing = watch.wait_for(".tmp");
  kill(first.pid, SIGSTOP);
  const e2e::running second = e2e::start_vort2pelta(maps.dir, args, "");
  const std::string waiting =
      "VORT2Pelta: another run is writing the maps of \"cav\"; waiting for it to finish\n";
  const auto said_so = [&] {
    return fs::exists(second.io / "stderr") && read_file(second.io / "stderr") == waiting;
  };
  wait_until([&] { return said_so() || ended(second); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const bool waited = said_so() && !ended(second);
  kill(first.pid, SIGCONT);
  const auto first_result = e2e::finish_vort2pelta(first);
  const auto second_result = e2e::finish_vort2pelta(second);
  EXPECT_TRUE(writing);
  EXPECT_TRUE(waited);
  EXPECT_EQ(first_result.status, 0) << first_result.err;
  EXPECT_EQ(first_result.err, "");
  EXPECT_EQ(second_result.status, 0) << second_result.err;
  EXPECT_EQ(second_result.err, waiting);
  EXPECT_TRUE(maps_are(maps.dir, new_maps));
  EXPECT_EQ(files_in(maps.dir), maps.before);
}

// Maps written into another directory than the working one: an interrupt while the table is
// read or while the maps are written leaves the earlier maps there and nothing anywhere.
TEST_F(Interrupts, IntoAnotherDirectoryLeaveNoTemporary) {
  for (const auto& [signal_number, while_writing] :
       std::vector<std::pair<int, bool>>{{SIGINT, true}, {SIGTERM, false}}) {
    earlier_maps maps;
    const fs::path work_dir = make_temp_dir();
    std::vector<std::string> elsewhere =
        counts_of(n, (table_dir / "big.txt").string(), (maps.dir / "cav").string());
    elsewhere.insert(elsewhere.begin(), {"--mesh=auto", "--mirror=F"});
    const e2e::running run = e2e::start_vort2pelta(work_dir, elsewhere, "");
    const bool reached =
        while_writing ? wait_until([&] { return temporary_in(maps.dir); }) : wait_until([&] {
          return e2e::output_so_far(run).find("Nx,Ny,Nz=") != std::string::npos;
        });
    ASSERT_TRUE(reached) << signal_number;
    kill(run.pid, signal_number);
    const auto result = e2e::finish_vort2pelta(run);
    EXPECT_EQ(result.status, 128 + signal_number);
    maps.expect_untouched();
    EXPECT_EQ(files_in(work_dir), std::vector<std::string>{});
    fs::remove_all(work_dir);
  }
}

// A signal that the caller ignores (nohup ignores SIGHUP) stays ignored: the run completes.
// So do SIGPIPE and SIGXFSZ, which the converter ignores itself: a write into a closed pipe
// or past the file-size limit fails with a message instead.
TEST_F(Interrupts, IgnoredSignalsStayIgnored) {
  const std::vector<std::pair<int, std::string>> cases = {{SIGHUP, "trap '' HUP;"},
                                                          {SIGINT, "trap '' INT;"},
                                                          {SIGTERM, "trap '' TERM;"},
                                                          {SIGPIPE, ""},
                                                          {SIGXFSZ, ""}};
  for (const auto& [signal_number, trap] : cases) {
    earlier_maps maps;
    const e2e::running run = e2e::start_vort2pelta(maps.dir, args, "", {.shell_prefix = trap});
    ASSERT_TRUE(wait_until([&] { return temporary_in(maps.dir); })) << signal_number;
    kill(run.pid, signal_number);
    const auto result = e2e::finish_vort2pelta(run);
    EXPECT_EQ(result.status, 0) << signal_number << result.err;
    EXPECT_TRUE(maps_are(maps.dir, new_maps)) << signal_number;
  }
}

TEST(Replacement, TwoRunsAtOnceEachWriteWholeFiles) {
  const fs::path dir = make_temp_dir();
  write_file(dir / "t.txt", cube_table(40));
  const std::vector<std::string> expected = reference_maps(counts_of(40, (dir / "t.txt").string()));
  const auto first = e2e::start_vort2pelta(dir, counts_of(40, "t.txt"), answers);
  const auto second = e2e::start_vort2pelta(dir, counts_of(40, "t.txt"), answers);
  EXPECT_EQ(e2e::finish_vort2pelta(first).status, 0);
  EXPECT_EQ(e2e::finish_vort2pelta(second).status, 0);
  EXPECT_EQ(maps_in(dir), expected);
  std::vector<std::string> names = outputs;
  names.push_back("t.txt");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(files_in(dir), names);
  fs::remove_all(dir);
}

// Runs of two tables into one base name, four at once, round after round: they take turns
// from their staging to their last rename, so each round leaves one run's set whole (never
// the real parts of one and the imaginary parts of the other), every run completes, a run that
// waited says so, and no lock or temporary is left.
TEST(Replacement, RunsOfTwoTablesIntoOneNameLeaveOneWholeSet) {
  const fs::path dir = make_temp_dir();
  const std::vector<std::string> tables = {"a.txt", "b.txt"};
  write_file(dir / tables[0], cube_table(30));
  write_file(dir / tables[1], cube_table(30, 100));
  std::vector<std::vector<std::string>> args, expected;
  for (const std::string& table : tables) {
    std::vector<std::string> run_args = counts_of(30, table);
    run_args.insert(run_args.begin(), {"--mesh=auto", "--mirror=F"});
    args.push_back(run_args);
    run_args[5] = (dir / table).string();
    expected.push_back(reference_maps(run_args));
  }
  ASSERT_NE(expected[0], expected[1]);
  std::vector<std::string> names = outputs;
  names.insert(names.end(), tables.begin(), tables.end());
  std::sort(names.begin(), names.end());
  const std::string waited =
      "VORT2Pelta: another run is writing the maps of \"cav\"; waiting for it to finish\n";
  for (int round = 0; round < 6; ++round) {
    std::vector<e2e::running> runs;
    for (int r = 0; r < 4; ++r) runs.push_back(e2e::start_vort2pelta(dir, args[r % 2], ""));
    for (const e2e::running& run : runs) {
      const auto result = e2e::finish_vort2pelta(run);
      EXPECT_EQ(result.status, 0) << round << result.err;
      EXPECT_TRUE(result.err.empty() || result.err == waited) << round << result.err;
    }
    const std::vector<std::string> maps = maps_in(dir);
    EXPECT_TRUE(maps == expected[0] || maps == expected[1]) << round;
    EXPECT_EQ(files_in(dir), names) << round;
  }
  fs::remove_all(dir);
}

// An output name that is a symbolic link: the file it leads to is replaced, the link stays,
// and the replaced file keeps its permissions.
TEST(Replacement, ThroughASymbolicLink) {
  const fs::path dir = make_temp_dir();
  write_file(dir / "t.txt", cube_table(3));
  fs::create_directory(dir / "maps");
  write_file(dir / "maps" / "re-x", "earlier\n");
  fs::permissions(dir / "maps" / "re-x",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("maps/re-x", dir / "3D_Re-cav.ex");
  const auto run = run_vort2pelta(dir, counts_of(3, "t.txt"), answers);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir / "3D_Re-cav.ex"));
  EXPECT_EQ(read_file(dir / "maps" / "re-x"),
            reference_maps(counts_of(3, (dir / "t.txt").string()))[0]);
  EXPECT_EQ(fs::status(dir / "maps" / "re-x").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(files_in(dir / "maps"), std::vector<std::string>{"re-x"});
  fs::remove_all(dir);
}

// A base name with a directory part: the maps and the picture go into that directory, the
// prefix on the file name, replacing earlier ones there; nothing else is left anywhere.
TEST(Replacement, IntoAnotherDirectory) {
  earlier_maps maps;
  const fs::path work_dir = make_temp_dir();
  write_file(work_dir / "t.txt", cube_table(4));
  write_file(maps.dir / "3D-cav.png", "an earlier picture\n");
  std::vector<std::string> args = counts_of(4, "t.txt", (maps.dir / "cav").string());
  args.push_back("--preview");
  const auto run = run_vort2pelta(work_dir, args, answers);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(maps_in(maps.dir), reference_maps(counts_of(4, (work_dir / "t.txt").string())));
  EXPECT_NE(read_file(maps.dir / "3D-cav.png"), "an earlier picture\n");
  std::vector<std::string> expected = outputs;
  expected.push_back("3D-cav.png");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files_in(maps.dir), expected);
  EXPECT_EQ(files_in(work_dir), std::vector<std::string>{"t.txt"});
  fs::remove_all(work_dir);
}

// Address-space limits from far too small to ample: every run either refuses with the one
// memory message and leaves everything as it was, or writes the same maps as an unlimited
// run (in one thread where a second cannot be had). Both outcomes must occur. A limit under
// which the program cannot even show its help page is skipped: there the system cannot load
// its libraries (or the sanitizer runtime of the build, which with clang needs more than
// 16 MB), before the converter has a say.
TEST(Replacement, AddressSpaceLimits) {
  if (e2e::address_sanitizer_build) GTEST_SKIP() << "left to the build without AddressSanitizer";
  earlier_maps maps;
  write_file(maps.dir / "t.txt", cube_table(40));
  maps.before = files_in(maps.dir);
  const std::vector<std::string> expected =
      reference_maps(counts_of(40, (maps.dir / "t.txt").string()));
  int refused = 0, converted = 0;
  for (int megabytes = 10; megabytes <= 64; megabytes += 2) {
    const run_options limited{.shell_prefix = "ulimit -v " + std::to_string(megabytes * 1024) + ";",
                              .needs_own_memory = true};
    if (run_vort2pelta(maps.dir, {"help"}, "", limited).status != 0) continue;
    const auto run = run_vort2pelta(maps.dir, counts_of(40, "t.txt"), answers, limited);
    if (run.status == 1) {
      ++refused;
      EXPECT_EQ(run.err, "VORT2Pelta: Allocation would exceed memory limit\n") << megabytes;
      maps.expect_untouched();
    } else {
      ++converted;
      EXPECT_EQ(run.status, 0) << megabytes << " MB: " << run.err;
      EXPECT_EQ(maps_in(maps.dir), expected) << megabytes;
      for (const std::string& name : outputs) write_file(maps.dir / name, "earlier " + name + "\n");
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(converted, 0);
}

}  // namespace
