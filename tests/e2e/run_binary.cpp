#include "run_binary.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace e2e {
namespace fs = std::filesystem;

namespace {

std::string shell_quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// In the child about to start the converter: standard input becomes a pipe from a process
// of its own that runs `command`.
void pipe_standard_input(const std::string& command, bool nonblocking) {
  int ends[2];
  if (pipe(ends) != 0) _exit(126);
  const pid_t writer = fork();
  if (writer < 0) _exit(126);
  if (writer == 0) {
    close(ends[0]);
    dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  close(ends[1]);
  if (nonblocking) fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
}

// Options whose value may stand apart from them, as the next argument.
bool takes_a_value(const std::string& arg) {
  for (const char* name : {"--mesh", "--mirror", "--symmetry", "--threads", "--inspect", "--format",
                           "--check", "--against", "--length-unit", "--field-unit", "--scale",
                           "--normalise", "--frequency", "--beta", "--axis"}) {
    if (arg == name) return true;
  }
  return false;
}

// What a run's arguments say of the map it writes: its base name, table, flag and planes;
// no base name for a run that converts nothing.
struct written_map {
  std::string base;
  std::string table;
  std::string flag;
  // What --against takes of the conversion, as given: --mirror, --symmetry, --no-grid-check,
  // --field-unit and --scale.
  std::vector<std::string> planes;
  bool normalised = false;  // a normalised map is checked against its table with its scale
};

written_map map_of(const std::vector<std::string>& args) {
  std::vector<std::string> positionals;
  written_map map;
  bool options_ended = false;
  for (std::size_t n = 0; n < args.size(); ++n) {
    const std::string& arg = args[n];
    if (options_ended || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      positionals.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help" || arg == "--version" ||
               arg.starts_with("--inspect") || arg.starts_with("--check")) {
      return {};
    } else if (arg.starts_with("--mirror") || arg.starts_with("--symmetry") ||
               arg == "--no-grid-check" || arg.starts_with("--field-unit") ||
               arg.starts_with("--scale")) {
      map.planes.push_back(arg);
      if (takes_a_value(arg) && n + 1 < args.size()) map.planes.push_back(args[++n]);
    } else if (takes_a_value(arg)) {
      map.normalised = map.normalised || arg == "--normalise";
      ++n;
    } else {
      map.normalised = map.normalised || arg.starts_with("--normalise=");
    }
  }
  if (positionals.size() < 5 || positionals[0].starts_with("help")) return {};
  map.table = positionals[3];
  map.base = positionals[4];
  map.base.erase(map.base.find_last_not_of(' ') + 1);
  map.flag = positionals.size() > 5 ? positionals[5].substr(0, 1) : "";
  return map;
}

// Every map a successful conversion writes passes the check of a written map, and where its
// table is a plain file of an E or B map, the check against that table too.
void check_written_map(const fs::path& dir, const std::vector<std::string>& args,
                       const std::string& transcript) {
  written_map map = map_of(args);
  if (map.base.empty()) return;
  // A mirror answered in the dialogue, as the transcript echoes it.
  for (const char mirror : {'X', 'Y'}) {
    const std::string echo = std::string(" ") + mirror + "Z magnetic mirror\n";
    const bool planes_given =
        std::any_of(map.planes.begin(), map.planes.end(), [](const auto& arg) {
          return arg.starts_with("--mirror") || arg.starts_with("--symmetry");
        });
    if (!planes_given && transcript.find(echo) != std::string::npos) {
      map.planes.push_back(std::string("--mirror=") + mirror);
    }
  }
  std::vector<std::string> check = {"--check", map.base};
  const run_output alone = run_vort2pelta(dir, check, "");
  EXPECT_EQ(alone.status, 0) << "--check " << map.base << ": " << alone.err;
  const bool plain_table =
      map.table != "-" && !map.table.ends_with(".gz") && fs::is_regular_file(dir / map.table);
  if (!plain_table || (map.flag != "E" && map.flag != "B") || map.normalised) return;
  check.insert(check.end(), {map.flag, "--against", map.table});
  check.insert(check.end(), map.planes.begin(), map.planes.end());
  const run_output against = run_vort2pelta(dir, check, "");
  EXPECT_EQ(against.status, 0) << "--check " << map.base << " --against " << map.table << ": "
                               << against.err;
}

}  // namespace

fs::path make_temp_dir() {
  static std::atomic<int> serial{0};
  const fs::path dir = fs::temp_directory_path() / ("vort2pelta-e2e-" + std::to_string(getpid()) +
                                                    "-" + std::to_string(serial++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

running start_vort2pelta(const fs::path& dir, const std::vector<std::string>& args,
                         const std::string& input, const run_options& options) {
  static std::atomic<int> serial{0};
  running run;
  run.io = dir.parent_path() / (dir.filename().string() + ".io" + std::to_string(serial++));
  fs::create_directories(run.io);
  write_file(run.io / "stdin", input);
  write_file(run.io / "stdout", "");
  const std::string stdin_path =
      options.stdin_path.empty() ? (run.io / "stdin").string() : options.stdin_path;
  const std::string stdout_path =
      options.stdout_path.empty() ? (run.io / "stdout").string() : options.stdout_path;
  // `exec`: the process started is the converter itself, so a signal sent to it reaches it.
  std::string command =
      "cd " + shell_quoted(dir.string()) + " && " + options.shell_prefix + " exec ";
  if (options.measure_memory) {
    command += shell_quoted(VORT2PELTA_PEAK_MEMORY) + " " +
               shell_quoted((run.io / "peak_memory").string()) + " ";
  }
  command += options.launcher + " " + shell_quoted(VORT2PELTA_EXE);
  for (const std::string& arg : args) command += " " + shell_quoted(arg);
  if (options.stdin_closed) {
    command += " <&-";
  } else if (options.stdin_command.empty()) {
    command += " <" + shell_quoted(stdin_path);
  }
  if (options.stdout_closed) {
    command += " >&-";
  } else if (!options.stdout_closed_pipe) {
    command += " >" + shell_quoted(stdout_path);
  }
  command += " 2>" + shell_quoted((run.io / "stderr").string());
  run.pid = fork();
  if (run.pid == 0) {
    if (options.stdout_closed_pipe) {
      int ends[2];
      if (pipe(ends) != 0) _exit(126);
      close(ends[0]);
      dup2(ends[1], STDOUT_FILENO);
    }
    if (!options.stdin_command.empty()) {
      pipe_standard_input(
          "cd " + shell_quoted(dir.string()) + " && (" + options.stdin_command + ") 2>/dev/null",
          options.stdin_nonblocking);
    }
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (run.pid < 0) throw std::runtime_error("cannot fork");
  return run;
}

run_output finish_vort2pelta(const running& run) {
  int raw = 0;
  waitpid(run.pid, &raw, 0);
  run_output output;
  output.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  if (fs::exists(run.io / "peak_memory")) {
    output.peak_rss_kb = std::stol(read_file(run.io / "peak_memory"));
  }
  output.out = read_file(run.io / "stdout");
  output.err = read_file(run.io / "stderr");
  fs::remove_all(run.io);
  return output;
}

run_output run_vort2pelta(const fs::path& dir, const std::vector<std::string>& args,
                          const std::string& input, const run_options& options) {
  run_output run = finish_vort2pelta(start_vort2pelta(dir, args, input, options));
  if (run.status == 0) check_written_map(dir, args, run.out);
  return run;
}

std::string output_so_far(const running& run) {
  return read_file(run.io / "stdout");
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  // Read whole: maps of tens of megabytes are compared many times.
  std::string text(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return text;
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace e2e
