// Runs the built converter as a process in a directory of its own, the way a user does.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct run_output {
  int status = -1;
  std::string out;
  std::string err;
};

// A new empty directory under the system's temporary directory, removed by the caller.
std::filesystem::path make_temp_dir();

// Runs VORT2Pelta with `args` in `dir`, `input` on standard input. `shell_prefix` goes
// before the command in the shell (for example "ulimit -f 8;").
run_output run_vort2pelta(const std::filesystem::path& dir, const std::vector<std::string>& args,
                          const std::string& input, const std::string& shell_prefix = "");

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& text);

// The names of the regular files in `dir`, sorted.
std::vector<std::string> files_in(const std::filesystem::path& dir);

}  // namespace e2e
