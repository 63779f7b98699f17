// Micro-benchmarks of the hot paths: one record parsed, one value formatted, and the stages
// built on them (a whole table read into the record table, a whole body written, the preview
// picture drawn and encoded).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fieldmap/body_writer.hpp"
#include "fieldmap/number_form.hpp"
#include "fieldmap/output_files.hpp"
#include "input/free_form.hpp"
#include "input/line_counter.hpp"
#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "preview/picture.hpp"
#include "preview/png.hpp"

namespace {

namespace fs = std::filesystem;

std::string record_line(std::mt19937_64& random) {
  std::uniform_real_distribution<double> value(-1e3, 1e3);
  std::string line;
  char field[32];
  for (int c = 0; c < 9; ++c) {
    std::snprintf(field, sizeof field, " %15.7e", value(random) * 1e-4);
    line += field;
  }
  return line + "\n";
}

void BM_parse_record(benchmark::State& state) {
  std::mt19937_64 random(1);
  std::string text;
  for (int r = 0; r < 1000; ++r) text += record_line(random);
  std::array<double, 9> row{};
  for (auto _ : state) {
    vort::text_cursor cursor{text.data(), text.data() + text.size(), 1};
    for (int r = 0; r < 1000; ++r) {
      vort::list_read read;
      vort::read_reals(cursor, read, row, nullptr);
    }
    benchmark::DoNotOptimize(row);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_parse_record);

void BM_format_double(benchmark::State& state) {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> value(-1, 1);
  std::vector<double> values(4096);
  for (double& v : values) v = value(random) * 1.2566370060085319e-6 * 1e3;
  char out[32];
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vort::write_number(out, values[n++ & 4095], vort::double_form));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_format_double);

// Values of the sizes a field map holds: a mu0-like scale times 1e-3 .. 1e6, either sign,
// with one value in eight zero (the air around the structure) unless `zeros` is false.
std::vector<double> field_like_values(bool zeros) {
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_real_distribution<double> decades(-3, 6);
  std::vector<double> values(4096);
  for (double& v : values) {
    v = zeros && random() % 8 == 0
            ? 0.0
            : unit(random) * 1.2566370060085319e-6 * std::pow(10.0, decades(random));
  }
  return values;
}

// The 17-digit kernel alone, without the field around the digits; argument 1 leaves the
// zeros out, so that only the digit work is timed.
void BM_format_significant_digits(benchmark::State& state) {
  const std::vector<double> values = field_like_values(state.range(0) == 0);
  char digits[24];
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vort::significant_digits(values[n++ & 4095], 17, digits));
    benchmark::DoNotOptimize(digits);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_format_significant_digits)->Arg(0)->Arg(1);

// The whole field for the same field-like values, zeros included.
void BM_format_double_field_like(benchmark::State& state) {
  const std::vector<double> values = field_like_values(true);
  char out[32];
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vort::write_number(out, values[n++ & 4095], vort::double_form));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_format_double_field_like);

// A 100 x 100 x 100 table of the usual %15.7e records, made once (and kept for later runs).
const fs::path& big_table() {
  static const fs::path path = [] {
    const fs::path file = fs::temp_directory_path() / "vort2pelta-bench-table.txt";
    if (fs::exists(file) && fs::file_size(file) > 100000000) return file;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::fputs("header\nheader\n", out);
    std::mt19937_64 random(3);
    for (int r = 0; r < 1000000; ++r) std::fputs(record_line(random).c_str(), out);
    std::fputs("\n", out);
    std::fclose(out);
    return file;
  }();
  return path;
}

// The same table compressed with gzip (at zlib's default level), made once.
const fs::path& big_compressed_table() {
  static const fs::path path = [] {
    const fs::path file = fs::temp_directory_path() / "vort2pelta-bench-table.txt.gz";
    if (fs::exists(file) && fs::file_size(file) > 1000000) return file;
    std::ifstream in(big_table(), std::ios::binary);
    gzFile out = gzopen(file.c_str(), "wb");
    std::vector<char> block(1 << 20);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
      gzwrite(out, block.data(), static_cast<unsigned>(in.gcount()));
    }
    gzclose(out);
    return file;
  }();
  return path;
}

// Reading a gzip-compressed table: one thread inflates it while another parses what came
// before; the rate is that of the decompressed text.
void BM_read_compressed_table(benchmark::State& state) {
  const vort::table_file file = vort::open_table(big_compressed_table().string());
  const auto bytes = static_cast<std::int64_t>(fs::file_size(big_table()));
  vort::record_table table = vort::allocate_record_table({100, 100, 100});
  for (auto _ : state) {
    vort::position_spread spread = vort::start_spread(table.counts);
    benchmark::DoNotOptimize(vort::read_table(file, table, &spread));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_read_compressed_table)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// Arguments: whether the positions are checked (kept as spreads), and in how many parts at
// once the table is read.
void BM_read_table(benchmark::State& state) {
  const bool check = state.range(0) != 0;
  const vort::table_file file = vort::open_table(big_table().string());
  const auto bytes = static_cast<std::int64_t>(file.size);
  const vort::line_count lines = vort::count_lines(file, static_cast<int>(state.range(1)));
  vort::record_table table = vort::allocate_record_table({100, 100, 100});
  for (auto _ : state) {
    vort::position_spread spread = vort::start_spread(table.counts);
    benchmark::DoNotOptimize(
        vort::read_table(file, table, check ? &spread : nullptr, nullptr, &lines));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_read_table)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"check", "parts"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

// Argument: no plane, the YZ plane, the XZ plane, or all three (an eighth of the map stored).
vort::map_symmetry bench_symmetry(std::int64_t planes) {
  vort::symmetry_list list;
  if (planes == 1 || planes == 3) list.push_back({0, vort::wall_kind::magnetic});
  if (planes == 2 || planes == 3) list.push_back({1, vort::wall_kind::magnetic});
  if (planes == 3) list.push_back({2, vort::wall_kind::electric});
  return vort::symmetry_from_list(list);
}

void BM_write_body(benchmark::State& state) {
  const vort::map_symmetry mode = bench_symmetry(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  vort::record_table table = vort::allocate_record_table({100, 100, 100});
  vort::read_table(vort::open_table(big_table().string()), table);
  const fs::path dir = fs::temp_directory_path() / "vort2pelta-bench-body";
  fs::create_directories(dir);
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const vort::field_kind kind = vort::select_field_kind('B');
  const vort::output_names names = vort::build_output_names("bench", kind);
  std::uint64_t values = 0;
  for (auto _ : state) {
    vort::output_set set = vort::open_output_files(names);
    vort::write_body(set, table, kind, mode, nullptr, threads);
    vort::finish_output_files(set);
    // The body's cost, not the disk's: the maps are not waited for.
    vort::commit_staged(vort::staged_files(set), threads, vort::durability::unsynced);
    const vort::map_knots knots = vort::knots_of_map(table.counts, mode);
    values += static_cast<std::uint64_t>(knots[0] * knots[1] * knots[2]) * 6;
  }
  fs::current_path(before);
  fs::remove_all(dir);
  state.counters["values/s"] =
      benchmark::Counter(static_cast<double>(values), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_write_body)
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Args({2, 2})
    ->Args({3, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The preview of the 100 x 100 x 100 table with the YZ mirror: drawn (one scan of the table
// for the peaks, twelve planes) and encoded as a PNG into memory. It runs once a conversion,
// which takes 0.3 to 0.5 s for this table; it should cost well under a tenth of that.
void BM_preview(benchmark::State& state) {
  const vort::grid_counts counts{100, 100, 100};
  const vort::map_symmetry mode = bench_symmetry(1);
  vort::record_table table = vort::allocate_record_table(counts);
  vort::read_table(vort::open_table(big_table().string()), table);
  const vort::map_axes axes = vort::build_map_axes(
      counts, {{-0.1f, -0.1f, 0}, {0, 0.1f, 0.2f}, {1e-3f, 2e-3f, 2e-3f}}, mode);
  const vort::field_kind kind = vort::select_field_kind('B');
  std::size_t bytes = 0;
  for (auto _ : state) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    vort::write_png(vort::render_preview(table, kind, mode, axes), out, "preview.png");
    std::fclose(out);
    bytes = size;
    std::free(data);
  }
  state.counters["png bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_preview)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
