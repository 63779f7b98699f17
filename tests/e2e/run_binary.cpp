#include "run_binary.hpp"

#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

}  // namespace

fs::path make_temp_dir() {
  static std::atomic<int> serial{0};
  const fs::path dir = fs::temp_directory_path() / ("vort2pelta-e2e-" + std::to_string(getpid()) +
                                                    "-" + std::to_string(serial++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

run_output run_vort2pelta(const fs::path& dir, const std::vector<std::string>& args,
                          const std::string& input, const std::string& shell_prefix) {
  const fs::path io = dir.parent_path() / (dir.filename().string() + ".io");
  fs::create_directories(io);
  write_file(io / "stdin", input);
  std::string command = "cd " + shell_quoted(dir.string()) + " && " + shell_prefix + " " +
                        shell_quoted(VORT2PELTA_EXE);
  for (const std::string& arg : args) command += " " + shell_quoted(arg);
  command += " <" + shell_quoted((io / "stdin").string()) + " >" +
             shell_quoted((io / "stdout").string()) + " 2>" +
             shell_quoted((io / "stderr").string());
  const int raw = std::system(("/bin/sh -c " + shell_quoted(command)).c_str());
  run_output output;
  output.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  output.out = read_file(io / "stdout");
  output.err = read_file(io / "stderr");
  fs::remove_all(io);
  return output;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
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
