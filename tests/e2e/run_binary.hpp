// Runs the built converter as a process in a directory of its own, the way a user does.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct run_output {
  int status = -1;  // the exit status, or 128 + the signal that ended the process
  std::string out;
  std::string err;
  long peak_rss_kb = 0;  // the most memory the converter held at once, when measured
};

struct run_options {
  std::string shell_prefix;         // before the command in the shell, e.g. "ulimit -f 8;"
  std::string stdin_path;           // standard input from this file instead of the given text
  std::string stdout_path;          // standard output to this file (e.g. /dev/full), not kept
  bool stdout_closed_pipe = false;  // standard output into a pipe nobody reads
  bool stdin_closed = false;        // started with standard input closed (<&-)
  bool stdout_closed = false;       // started with standard output closed (>&-)
  // Standard input from a pipe that this shell command writes (run in the run's directory),
  // non-blocking where asked, as a program sharing it may leave it.
  std::string stdin_command;
  bool stdin_nonblocking = false;
  bool measure_memory = false;  // started through peak_memory, for `peak_rss_kb`
  std::string launcher;         // a command the converter is started by, e.g. "strace"
  // The run limits the address space or measures memory, which a converter built with
  // AddressSanitizer cannot take: such runs are skipped in that build.
  bool needs_own_memory = false;
};

#ifdef VORT2PELTA_ADDRESS_SANITIZER
inline constexpr bool address_sanitizer_build = true;
#else
inline constexpr bool address_sanitizer_build = false;
#endif

// A new empty directory under the system's temporary directory, removed by the caller.
std::filesystem::path make_temp_dir();

// Runs VORT2Pelta with `args` in `dir`, `input` on standard input.
run_output run_vort2pelta(const std::filesystem::path& dir, const std::vector<std::string>& args,
                          const std::string& input, const run_options& options = {});

// The same, started in the background: for signals sent while it works.
struct running {
  pid_t pid = -1;
  std::filesystem::path io;  // where its standard streams go
};
running start_vort2pelta(const std::filesystem::path& dir, const std::vector<std::string>& args,
                         const std::string& input, const run_options& options = {});
run_output finish_vort2pelta(const running& run);

// What the run has written on standard output so far.
std::string output_so_far(const running& run);

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& text);

// The names of the regular files in `dir` (hidden ones included), sorted.
std::vector<std::string> files_in(const std::filesystem::path& dir);

}  // namespace e2e
