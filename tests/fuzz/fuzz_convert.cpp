// The whole conversion on tiny grids: the first five bytes choose Nx, Ny, Nz (1 to 4), the
// mirror answer and the field flag; the rest is the solver table. A run either fails with
// one message, or writes six files whose line and value counts match the grid.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/converter.hpp"
#include "map_counts.hpp"

namespace fs = std::filesystem;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The working directory's name, constructed before the exit handler that removes it is
// registered, so that it outlives the handler.
std::string& made_dir() {
  static std::string name;
  return name;
}

// A private working directory, in memory where the system has one, removed at exit.
void enter_work_dir() {
  if (!made_dir().empty()) return;
  const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path dir = base / ("vort2pelta-fuzz-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::current_path(dir);
  made_dir() = dir.string();
  std::atexit([] {
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(made_dir(), ec);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  enter_work_dir();
  const long nx = 1 + data[0] % 4, ny = 1 + data[1] % 4, nz = 1 + data[2] % 4;
  const char mirror = "FYXy "[data[3] % 5];
  const char flag = "EBe "[data[4] % 4];
  std::ofstream("t.txt", std::ios::binary)
      .write(reinterpret_cast<const char*>(data + 5), static_cast<std::streamsize>(size - 5));

  const std::vector<std::string> arg_texts = {
      std::to_string(nx),  std::to_string(ny), std::to_string(nz), "t.txt", "f",
      std::string(1, flag)};
  const std::vector<std::string_view> args(arg_texts.begin(), arg_texts.end());
  std::istringstream in("0 0 0 1 1 1 0.5 0.5 0.5\n" + std::string(1, mirror) + "\n");
  std::ostringstream out;
  const vort::run_result result = vort::run_converter(args, in, out);

  const std::string ext = flag == 'B' ? "b" : "e";
  std::vector<fs::path> files;
  for (const char* part : {"3D_Re-f.", "3D_Im-f."}) {
    for (const char* axis : {"x", "y", "z"}) files.emplace_back(part + ext + axis);
  }
  if (result.status == 0) {
    const long mx = mirror == 'Y' ? 2 * nx - 1 : nx;
    const long my = mirror == 'X' ? 2 * ny - 1 : ny;
    for (const fs::path& file : files) {
      const auto [lines, values] = lines_and_values(file);
      check(lines == 3 + my * nz);
      check(values == (mx + 1) + (my + 1) + (nz + 1) + mx * my * nz);
    }
  } else {
    check(result.status == 1 && !result.diagnostics.empty());
    const std::string& message = result.diagnostics.back();
    check(message.rfind("VORT2Pelta: ", 0) == 0 && message.find('\n') == std::string::npos);
    for (const fs::path& file : files) check(!fs::exists(file));  // failed before the output
  }
  for (const fs::path& file : files) fs::remove(file);
  return 0;
}
