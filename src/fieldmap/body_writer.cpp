#include "fieldmap/body_writer.hpp"

#include <thread>

#include "common/side_by_side.hpp"

#include "fieldmap/line_writer.hpp"
#include "fieldmap/mirror.hpp"

namespace vort {
namespace {

// Below this many values a second thread costs more than it saves.
constexpr std::uint64_t values_worth_a_thread = std::uint64_t{1} << 17;

std::uint64_t body_values(const record_table& table, mirror_mode mode) {
  const mesh::map_knots knots = mesh::knots_of_map(table.counts, mode);
  return static_cast<std::uint64_t>(knots.x * knots.y * knots.z) * map_files;
}

// The body of one group of files, in the order above.
void write_group_body(const body_group& group) {
  const grid_counts counts = group.table->counts;
  for (std::int32_t k = 1; k <= counts.nz; ++k) {
    if (group.stop != nullptr && group.stop->load(std::memory_order_relaxed)) return;
    if (group.mode == mirror_mode::xz) {
      write_xz_mirror_plane(group, k);
      continue;
    }
    for (std::int32_t j = 1; j <= counts.ny; ++j) {
      if (group.mode == mirror_mode::yz) {
        write_yz_mirror_row(group, j, k);
      } else {
        write_plain_row(group, j, k);
      }
    }
  }
}

}  // namespace

void write_body(output_set& set, const record_table& table, const field_kind& kind,
                mirror_mode mode, work_counter* counter) {
  const std::uint64_t values = body_values(table, mode);
  start_phase(counter, work_phase::writing, values);
  std::vector<body_file> files = body_files(set, kind, mode);
  std::atomic<bool> stop{false};
  if (values < values_worth_a_thread || std::thread::hardware_concurrency() < 2) {
    write_group_body({&table, mode, files, counter, &stop});
    return;
  }
  // Real parts here, imaginary parts beside them; a failure in one ends the other early.
  const body_group real{&table, mode, {files.begin(), files.begin() + 3}, counter, &stop};
  const body_group imaginary{&table, mode, {files.begin() + 3, files.end()}, counter, &stop};
  run_side_by_side([&] { write_group_body(real); }, [&] { write_group_body(imaginary); }, &stop);
}

}  // namespace vort
