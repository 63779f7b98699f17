#include "fieldmap/body_writer.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "common/parallel_parts.hpp"
#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/map_layout.hpp"

namespace vort {
namespace {

// Below this many values a second thread costs more than it saves.
constexpr std::uint64_t values_worth_a_thread = std::uint64_t{1} << 17;

// A stretch of one file's body: its lines [first, end), counted in the order they are
// written (z plane by z plane, y line by y line within a plane).
struct body_stretch {
  std::size_t file;
  std::int64_t first;
  std::int64_t end;
};

// Each file's lines cut into `per_file` stretches of nearly the same length, in the order
// the threads take them: the first stretch of every file, then the second, and so on, so that
// threads at work at once write different files (writes to one file wait for each other).
std::vector<body_stretch> stretches_of(std::int64_t lines, int per_file) {
  std::vector<body_stretch> stretches;
  const std::int64_t cuts = std::clamp<std::int64_t>(per_file, 1, lines);
  for (std::int64_t n = 0; n < cuts; ++n) {
    for (std::size_t u = 0; u < map_files; ++u) {
      stretches.push_back({u, lines * n / cuts, lines * (n + 1) / cuts});
    }
  }
  return stretches;
}

// Where each line goes in a file, and how long it is.
struct line_places {
  std::uint64_t header;
  std::uint64_t line;
  std::uint64_t at(std::int64_t n) const { return header + static_cast<std::uint64_t>(n) * line; }
};

void write_stretch(const body_group& group, const body_stretch& stretch, line_places places,
                   text_sink& sink) {
  const body_file& file = group.files[stretch.file];
  const std::int64_t lines_y = static_cast<std::int64_t>(group.layout->axes[1].stored.size());
  sink.file = file.file;
  sink.used = 0;
  sink.offset = places.at(stretch.first);
  for (std::int64_t n = stretch.first; n < stretch.end; ++n) {
    if (group.stop->load(std::memory_order_relaxed)) return;
    write_map_line(group, file, sink, n % lines_y, n / lines_y);
  }
  flush_output(sink);
  // Fixed-width values make every line as long as `places` says; a stretch that ended
  // elsewhere would leave a gap or overwrite its neighbour.
  if (sink.offset != places.at(stretch.end)) {
    throw std::logic_error("a line of the map is not as long as its values' widths make it");
  }
  start_writing_out(*file.file, places.at(stretch.first), sink.offset - places.at(stretch.first));
}

}  // namespace

int body_threads(map_knots knots, int threads) {
  const auto values = static_cast<std::uint64_t>(knots[0] * knots[1] * knots[2]) * map_files;
  return values < values_worth_a_thread ? 1 : std::clamp(threads, 1, max_threads);
}

std::size_t body_buffer_bytes(std::uint64_t bytes_per_file, int threads) {
  const std::uint64_t share = 2 * output_buffer_size / static_cast<unsigned>(threads);
  return output_buffer_bytes(std::min(bytes_per_file, share));
}

void write_body(output_set& set, const record_table& table, const field_kind& kind,
                const map_symmetry& symmetry, work_counter* counter, int threads) {
  const map_layout layout = layout_of(table.counts, symmetry);
  const map_knots knots = knots_of_map(table.counts, symmetry);
  start_phase(counter, work_phase::writing,
              static_cast<std::uint64_t>(knots[0] * knots[1] * knots[2]) * map_files);
  std::atomic<bool> stop{false};
  const body_group group{&table,  &layout, runs_of(layout.axes[0]), body_files(set, kind, symmetry),
                         counter, &stop};
  const int workers = body_threads(knots, threads);
  const std::vector<body_stretch> stretches = stretches_of(knots[1] * knots[2], workers);
  const line_places places{header_bytes(knots), body_line_bytes(knots)};
  const std::size_t buffer_size = body_buffer_bytes(bytes_per_file(knots), workers);
  std::atomic<std::size_t> next{0};
  run_parts(workers, [&](int) {
    try {
      const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(buffer_size);
      text_sink sink{nullptr, buffer.get(), buffer_size};
      for (std::size_t s = next++; s < stretches.size() && !stop; s = next++) {
        write_stretch(group, stretches[s], places, sink);
      }
    } catch (...) {
      stop = true;
      throw;
    }
  });
}

}  // namespace vort
