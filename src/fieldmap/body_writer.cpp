#include "fieldmap/body_writer.hpp"

#include "common/parallel_parts.hpp"
#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_layout.hpp"

namespace vort {
namespace {

// Below this many values a second thread costs more than it saves.
constexpr std::uint64_t values_worth_a_thread = std::uint64_t{1} << 17;

// The body of one group of files, in the order above.
void write_group_body(const body_group& group) {
  const std::int64_t lines_y = static_cast<std::int64_t>(group.layout->axes[1].stored.size());
  const std::int64_t planes_z = static_cast<std::int64_t>(group.layout->axes[2].stored.size());
  for (std::int64_t r = 0; r < planes_z; ++r) {
    if (group.stop != nullptr && group.stop->load(std::memory_order_relaxed)) return;
    for (std::int64_t q = 0; q < lines_y; ++q) write_map_line(group, q, r);
  }
}

}  // namespace

void write_body(output_set& set, const record_table& table, const field_kind& kind,
                const map_symmetry& symmetry, work_counter* counter) {
  const map_layout layout = layout_of(table.counts, symmetry);
  const std::uint64_t values = layout.axes[0].stored.size() * layout.axes[1].stored.size() *
                               layout.axes[2].stored.size() * map_files;
  start_phase(counter, work_phase::writing, values);
  std::vector<body_file> files = body_files(set, kind, symmetry);
  const std::vector<knot_run> x_runs = runs_of(layout.axes[0]);
  std::atomic<bool> stop{false};
  if (values < values_worth_a_thread || hardware_threads() < 2) {
    write_group_body({&table, &layout, x_runs, files, counter, &stop});
    return;
  }
  // Real parts here, imaginary parts beside them; a failure in one ends the other early.
  const body_group real{&table,  &layout, x_runs, {files.begin(), files.begin() + 3},
                        counter, &stop};
  const body_group imaginary{&table,  &layout, x_runs, {files.begin() + 3, files.end()},
                             counter, &stop};
  run_parts(2, [&](int part) {
    try {
      write_group_body(part == 0 ? real : imaginary);
    } catch (...) {
      stop = true;
      throw;
    }
  });
}

}  // namespace vort
