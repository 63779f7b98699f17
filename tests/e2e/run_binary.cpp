#include "run_binary.hpp"

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
  return finish_vort2pelta(start_vort2pelta(dir, args, input, options));
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
