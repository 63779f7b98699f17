// Whole runs of the converter: for each generated table and each mirror answer (F, Y, X),
// three runs with flag B; prints the median wall time, the table's MB/s, the body values per
// second and the peak resident memory of the child, and checks the six files' line and value
// counts against the grid.
//
//   convert_bench VORT2PELTA MAKE_VORT_TABLE WORKDIR N [N ...]     (tables of N x N x N knots)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "map_counts.hpp"

namespace fs = std::filesystem;

namespace {

struct run_figures {
  double seconds;
  long peak_kb;
  int status;
};

run_figures run_once(const std::string& exe, const fs::path& dir,
                     const std::vector<std::string>& args, const std::string& answers) {
  int input[2];
  if (pipe(input) != 0) std::exit(2);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(input[0], 0);
    close(input[1]);
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    if (chdir(dir.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(input[0]);
  if (write(input[1], answers.data(), answers.size()) < 0) std::perror("write");
  close(input[1]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: convert_bench VORT2PELTA MAKE_VORT_TABLE WORKDIR N [N ...]\n");
    return 2;
  }
  const std::string exe = fs::absolute(argv[1]).string();
  const std::string generator = fs::absolute(argv[2]).string();
  const fs::path work = fs::absolute(argv[3]);
  fs::create_directories(work);
  bool all_good = true;
  std::printf("%-13s %-4s %9s %10s %14s %10s %12s  %s\n", "table", "mode", "wall s", "table MB/s",
              "values/s", "peak MB", "limit MB", "output check");
  for (int a = 4; a < argc; ++a) {
    const long n = std::atol(argv[a]);
    const fs::path table = work / ("table_" + std::to_string(n) + ".txt");
    if (!fs::exists(table)) {
      std::fprintf(stderr, "generating %s ...\n", table.c_str());
      const std::string command =
          generator + " --field B --counts " + std::to_string(n) + " " + std::to_string(n) + " " +
          std::to_string(n) + " --min -0.08 -0.08 0 --step 0.0016 0.0016 0.001 " + table.string();
      if (std::system(command.c_str()) != 0) return 1;
    }
    const double table_mb = static_cast<double>(fs::file_size(table)) / 1e6;
    const long knots = n * n * n;
    for (const char mode : {'F', 'Y', 'X'}) {
      const fs::path dir = work / "run";
      fs::create_directories(dir);
      const std::vector<std::string> args{std::to_string(n), std::to_string(n), std::to_string(n),
                                          table.string(),    "bench",           "B"};
      const std::string answers =
          "-0.08 -0.08 0 0.08 0.08 0.1 0.0016 0.0016 0.001\n" + std::string(1, mode) + "\n";
      std::vector<double> times;
      long peak_kb = 0;
      std::string check = "ok";
      for (int r = 0; r < 3; ++r) {
        // Every run creates its files anew: replacing the last run's gigabytes would time the
        // file system's truncation, not the converter.
        if (r > 0) {
          for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
        }
        const run_figures figures = run_once(exe, dir, args, answers);
        if (figures.status != 0) check = "exit status " + std::to_string(figures.status);
        times.push_back(figures.seconds);
        peak_kb = std::max(peak_kb, figures.peak_kb);
      }
      const long nx = mode == 'Y' ? 2 * n - 1 : n;
      const long ny = mode == 'X' ? 2 * n - 1 : n;
      for (const auto& entry : fs::directory_iterator(dir)) {
        const auto [lines, values] = lines_and_values(entry.path());
        const long want_values = (nx + 1) + (ny + 1) + (n + 1) + nx * ny * n;
        if (lines != 3 + ny * n || values != want_values) {
          check = entry.path().filename().string() + ": " + std::to_string(lines) + " lines, " +
                  std::to_string(values) + " values";
        }
      }
      fs::remove_all(dir);
      std::sort(times.begin(), times.end());
      const double median = times[1];
      const double values_per_second = static_cast<double>(nx * ny * n * 6) / median;
      const double limit_mb = (72.0 * static_cast<double>(knots) + 16e6) / 1e6;
      const double peak_mb = static_cast<double>(peak_kb) * 1024 / 1e6;
      if (check != "ok" || peak_mb > limit_mb) all_good = false;
      std::printf("%-13s %-4c %9.3f %10.0f %14.3e %10.1f %12.1f  %s\n",
                  (std::to_string(n) + "^3").c_str(), mode, median, table_mb / median,
                  values_per_second, peak_mb, limit_mb, check.c_str());
      std::fflush(stdout);
    }
  }
  return all_good ? 0 : 1;
}
