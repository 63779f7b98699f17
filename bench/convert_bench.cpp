// Whole runs of the converter: for each generated table, five runs of each case with flag B,
// replacing the files of the run before as a user who reruns does; prints the median wall
// time with the spread of the five against its target ("!" when missed), the floor of the
// case and the time as a multiple of it, the table's MB/s, the body values per second and the
// peak resident memory of the child against 48 B/knot + 16 MB, and checks the six files' line
// and value counts.
//
// The floor is what any converter must spend on the same files, measured just before the
// case's runs, five times after one to warm up: reading the table as `cat table >/dev/null`
// does (from the page cache) and writing six files of the map's size under temporary names,
// renamed over the files of the time before. The converter flushes its maps unless told not
// to, and so does the floor of every case but `F no sync` (and of --basic, whose converter
// knows no flushes): each file written out to the disk before the renames, the directory after
// them.
//
//   convert_bench [--basic] VORT2PELTA MAKE_VORT_TABLE WORKDIR N [N ...]   (N x N x N knots)
//
// The cases: mirror answers F, Y and X; then, at the first size, F without the flushes
// (--no-sync), F without the position check, F with the picture, F from the gzip-compressed table,
// and F of a whole table of the grid that Y writes, against which Y's time per written value is
// compared (a symmetric conversion writes the whole map; it may take at most 10% longer a value).
// --basic runs the three mirror answers alone, for a converter without options.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "map_counts.hpp"

namespace fs = std::filesystem;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
    // The tables are not symmetric about their last knots: Y and X warn that the field does
    // not fit the wall, which is not what is measured.
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
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
  return {seconds_since(start), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double median_of(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Reads the file to its end in blocks of cat's size.
void read_through(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) std::exit(2);
  std::vector<char> block(std::size_t{128} << 10);
  while (::read(fd, block.data(), block.size()) > 0) {
  }
  ::close(fd);
}

// Writes `bytes` bytes of map-like text to a temporary beside `target`, and with `synced`
// waits until they are on the disk.
void write_temporary(const fs::path& target, long bytes, const std::vector<char>& block,
                     bool synced) {
  const fs::path temporary = target.string() + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) std::exit(2);
  for (long left = bytes; left > 0;) {
    const long size = std::min<long>(left, static_cast<long>(block.size()));
    if (::write(fd, block.data(), static_cast<std::size_t>(size)) != size) std::exit(2);
    left -= size;
  }
  if ((synced && ::fdatasync(fd) != 0) || ::close(fd) != 0) std::exit(2);
}

// The floor of a case: the table read and six files of `bytes_per_file` written and renamed
// over the files of the time before, the median of five after one that creates the files.
// With `synced`, the flushes of a converter that makes its maps last through a power cut:
// each file written out before the renames, the directory after them.
double floor_seconds(const fs::path& table, const fs::path& dir, long bytes_per_file, bool synced) {
  fs::create_directories(dir);
  std::vector<char> block(std::size_t{1} << 20);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = i % 26 == 25 ? '\n' : '7';
  std::vector<double> times;
  for (int r = 0; r < 6; ++r) {
    const auto start = std::chrono::steady_clock::now();
    read_through(table);
    for (int file = 0; file < 6; ++file) {
      write_temporary(dir / ("floor" + std::to_string(file)), bytes_per_file, block, synced);
    }
    for (int file = 0; file < 6; ++file) {
      const fs::path target = dir / ("floor" + std::to_string(file));
      if (std::rename((target.string() + ".tmp").c_str(), target.c_str()) != 0) std::exit(2);
    }
    if (synced) {
      const int directory = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
      if (directory < 0 || ::fsync(directory) != 0) std::exit(2);
      ::close(directory);
    }
    if (r > 0) times.push_back(seconds_since(start));
  }
  fs::remove_all(dir);
  return median_of(times);
}

// The bytes of each map file of a map of nx x ny x nz knots: three header lines of 17
// characters a value, body lines of 26 a value.
long map_file_bytes(long nx, long ny, long nz) {
  return (nx + ny + nz + 3) * 17 + 3 + ny * nz * (nx * 26 + 1);
}

struct bench_case {
  std::string label;
  char mirror;
  std::vector<std::string> options;
  bool compressed;
  double target_per_million;  // seconds a million knots may take, 0 for none
  long nx = 0;                // the table's knots along x, when not N
  bool synced = true;         // the converter flushes the maps (all but --no-sync)
};

// The six maps' line and value counts against the grid, "ok" or what is wrong.
std::string check_maps(const fs::path& dir, long table_nx, long n, char mirror) {
  const long nx = mirror == 'Y' ? 2 * table_nx - 1 : table_nx;
  const long ny = mirror == 'X' ? 2 * n - 1 : n;
  int maps = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".png") continue;
    ++maps;
    const auto [lines, values] = lines_and_values(entry.path());
    const long want_values = (nx + 1) + (ny + 1) + (n + 1) + nx * ny * n;
    if (lines != 3 + ny * n || values != want_values) {
      return entry.path().filename().string() + ": " + std::to_string(lines) + " lines, " +
             std::to_string(values) + " values";
    }
  }
  return maps == 6 ? "ok" : std::to_string(maps) + " maps";
}

// The mesh answer of the generated tables: from (-0.08, -0.08, 0) in steps of 1.6, 1.6 and
// 1 mm, up to the last knot.
std::string mesh_answer(long nx, long n) {
  char answer[160];
  std::snprintf(answer, sizeof answer, "-0.08 -0.08 0 %.9g %.9g %.9g 0.0016 0.0016 0.001\n",
                -0.08 + 0.0016 * static_cast<double>(nx - 1),
                -0.08 + 0.0016 * static_cast<double>(n - 1), 0.001 * static_cast<double>(n - 1));
  return answer;
}

fs::path table_of_size(const std::string& generator, const fs::path& work, long nx, long n,
                       bool compressed) {
  const std::string name =
      nx == n ? std::to_string(n) : std::to_string(nx) + "x" + std::to_string(n);
  const fs::path table = work / ("table_" + name + ".txt");
  if (!fs::exists(table)) {
    std::fprintf(stderr, "generating %s ...\n", table.c_str());
    const std::string count = std::to_string(n);
    const std::string command = generator + " --field B --counts " + std::to_string(nx) + " " +
                                count + " " + count +
                                " --min -0.08 -0.08 0 --step 0.0016 0.0016 0.001 " + table.string();
    if (std::system(command.c_str()) != 0) std::exit(1);
  }
  if (!compressed) return table;
  const fs::path gz = table.string() + ".gz";
  if (!fs::exists(gz)) {
    std::fprintf(stderr, "compressing %s ...\n", table.c_str());
    if (std::system(("gzip -k -6 " + table.string()).c_str()) != 0) std::exit(1);
  }
  return gz;
}

}  // namespace

int main(int argc, char** argv) {
  int a = 1;
  const bool basic = argc > 1 && std::strcmp(argv[1], "--basic") == 0;
  if (basic) ++a;
  if (argc - a < 4) {
    std::fprintf(stderr,
                 "usage: convert_bench [--basic] VORT2PELTA MAKE_VORT_TABLE WORKDIR N [N ...]\n");
    return 2;
  }
  const std::string exe = fs::absolute(argv[a]).string();
  const std::string generator = fs::absolute(argv[a + 1]).string();
  const fs::path work = fs::absolute(argv[a + 2]);
  fs::create_directories(work);
  bool all_good = true;
  std::printf("%-10s %-16s %8s %15s %8s %8s %7s %10s %12s %9s %10s  %s\n", "table", "case",
              "median s", "min-max s", "target s", "floor s", "x floor", "table MB/s", "values/s",
              "peak MB", "limit MB", "output check");
  for (int size = a + 3; size < argc; ++size) {
    const long n = std::atol(argv[size]);
    // The targets: a million knots in 0.24 s without a mirror, 0.40 s with one; time linear
    // in the knots.
    std::vector<bench_case> cases = {
        {"F", 'F', {}, false, 0.24}, {"Y", 'Y', {}, false, 0.40}, {"X", 'X', {}, false, 0.40}};
    // A converter without options flushes nothing: its floor does not either.
    if (basic) {
      for (bench_case& c : cases) c.synced = false;
    }
    if (!basic && size == a + 3) {
      cases.push_back({"F no sync", 'F', {"--no-sync"}, false, 0, 0, false});
      cases.push_back({"F no check", 'F', {"--no-grid-check"}, false, 0});
      cases.push_back({"F preview", 'F', {"--preview"}, false, 0});
      cases.push_back({"F gzip table", 'F', {}, true, 0});
      cases.push_back({"F grid of Y", 'F', {}, false, 0, 2 * n - 1});
    }
    std::vector<double> seconds_per_value(cases.size());
    for (std::size_t number = 0; number < cases.size(); ++number) {
      const bench_case& c = cases[number];
      const long nx = c.nx > 0 ? c.nx : n;
      const fs::path table = table_of_size(generator, work, nx, n, c.compressed);
      const double table_mb =
          static_cast<double>(fs::file_size(table_of_size(generator, work, nx, n, false))) / 1e6;
      const long knots = nx * n * n;
      const fs::path dir = work / "run";
      fs::create_directories(dir);
      std::vector<std::string> args = c.options;
      for (const std::string& positional :
           {std::to_string(nx), std::to_string(n), std::to_string(n), table.string(),
            std::string("bench"), std::string("B")}) {
        args.push_back(positional);
      }
      const std::string answers = mesh_answer(nx, n) + std::string(1, c.mirror) + "\n";
      std::vector<double> times;
      long peak_kb = 0;
      std::string check = "ok";
      const long map_nx = c.mirror == 'Y' ? 2 * nx - 1 : nx;
      const long map_ny = c.mirror == 'X' ? 2 * n - 1 : n;
      // What earlier cases (and benchmarks) left to write back is written before this one
      // starts, so that a case is not timed against another's gigabytes.
      ::sync();
      const double floor =
          floor_seconds(table, work / "floor", map_file_bytes(map_nx, map_ny, n), c.synced);
      ::sync();
      // The first run creates the files; the five timed ones replace them.
      for (int r = 0; r < 6; ++r) {
        const run_figures figures = run_once(exe, dir, args, answers);
        if (figures.status != 0) check = "exit status " + std::to_string(figures.status);
        if (r > 0) times.push_back(figures.seconds);
        peak_kb = std::max(peak_kb, figures.peak_kb);
      }
      if (check == "ok") check = check_maps(dir, nx, n, c.mirror);
      fs::remove_all(dir);
      std::sort(times.begin(), times.end());
      const double median = times[2];
      const double values = static_cast<double>(map_nx * map_ny * n * 6);
      const double values_per_second = values / median;
      seconds_per_value[number] = median / values;
      const double limit_mb = (48.0 * static_cast<double>(knots) + 16e6) / 1e6;
      const double peak_mb = static_cast<double>(peak_kb) * 1024 / 1e6;
      // The picture's canvas and planes come on top of the table's 48 B a knot.
      const bool memory_limited = c.label != "F preview";
      if (check != "ok" || (!basic && memory_limited && peak_mb > limit_mb)) all_good = false;
      char spread[32], target[16] = "-";
      std::snprintf(spread, sizeof spread, "%.3f-%.3f", times.front(), times.back());
      if (c.target_per_million > 0) {
        const double seconds = c.target_per_million * static_cast<double>(knots) / 1e6;
        std::snprintf(target, sizeof target, "%.2f%s", seconds, median <= seconds ? "" : "!");
      }
      char limit[16] = "-";
      if (memory_limited) std::snprintf(limit, sizeof limit, "%.1f", limit_mb);
      std::printf("%-10s %-16s %8.3f %15s %8s %8.3f %7.2f %10.0f %12.3e %9.1f %10s  %s\n",
                  (std::to_string(n) + "^3").c_str(), c.label.c_str(), median, spread, target,
                  floor, median / floor, table_mb / median, values_per_second, peak_mb, limit,
                  check.c_str());
      std::fflush(stdout);
    }
    // Y writes the grid that "F grid of Y" converts whole: its time a written value against
    // that conversion's.
    if (!basic && size == a + 3) {
      const double ratio = seconds_per_value[1] / seconds_per_value.back();
      std::printf(
          "%-10s Y per written value: %.0f%% of a whole table's of the same grid (at most "
          "110%%)%s\n",
          (std::to_string(n) + "^3").c_str(), 100 * ratio, ratio <= 1.10 ? "" : " !");
    }
  }
  return all_good ? 0 : 1;
}
