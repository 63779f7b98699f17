#include "fieldmap/body_writer.hpp"

#include <cstdlib>
#include <exception>
#include <thread>

#include "fieldmap/mirror.hpp"
#include "fieldmap/number_form.hpp"

namespace vort {
namespace {

// Below this many values a second thread costs more than it saves.
constexpr std::uint64_t values_worth_a_thread = std::uint64_t{1} << 17;

float mirror_parity(mirror_mode mode, int component, float sign) {
  if (component == 2 || mode == mirror_mode::none) return 1.0f;
  const bool normal = (mode == mirror_mode::yz) == (component == 0);
  return normal ? -sign : sign;
}

std::uint64_t body_values(const record_table& table, mirror_mode mode) {
  const mesh::map_knots knots = mesh::knots_of_map(table.counts, mode);
  return static_cast<std::uint64_t>(knots.x * knots.y * knots.z) * map_files;
}

}  // namespace

std::vector<body_file> body_files(output_set& set, const field_kind& kind, mirror_mode mode) {
  std::vector<body_file> files;
  for (std::size_t u = 0; u < map_files; ++u) {
    const file_role& role = file_roles[u];
    const float stored = role.real ? kind.mu0 * kind.field_sign : kind.mu0;
    const float image = stored * mirror_parity(mode, role.component, kind.field_sign);
    files.push_back({&set.files[u], role.column, stored, image});
  }
  return files;
}

line_values table_line(const record_table& table, int column, std::int32_t j, std::int32_t k) {
  const std::int64_t first_row =
      table.plane_start[0] + std::int64_t{j - 1} * table.counts.nz + (k - 1);
  const std::int64_t plane_rows = std::int64_t{table.counts.ny} * table.counts.nz;
  return {table.field_tab.get() + (first_row - 1) * record_values + (column - 1),
          static_cast<std::ptrdiff_t>(plane_rows * record_values)};
}

void append_values(output_file& file, line_values line, std::int32_t i_first, std::int32_t i_last,
                   double factor) {
  const std::ptrdiff_t step = i_last >= i_first ? line.stride : -line.stride;
  const double* value = line.first + (i_first - 1) * line.stride;
  for (std::int32_t n = std::abs(i_last - i_first); n >= 0; --n, value += step) {
    put_value(file, *value * factor, double_form);
  }
}

void write_plain_row(const body_group& group, std::int32_t j, std::int32_t k, bool image) {
  const record_table& table = *group.table;
  for (const body_file& f : group.files) {
    append_values(*f.file, table_line(table, f.column, j, k), 1, table.counts.nx,
                  image ? f.image_factor : f.stored_factor);
    end_line(*f.file);
  }
  add_done(group.counter, group.files.size() * static_cast<std::uint64_t>(table.counts.nx));
}

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

void write_body(output_set& set, const record_table& table, const field_kind& kind,
                mirror_mode mode, work_counter* counter) {
  const std::uint64_t values = body_values(table, mode);
  start_phase(counter, work_phase::writing, values);
  std::vector<body_file> files = body_files(set, kind, mode);
  std::atomic<bool> stop{false};
  std::vector<double> real_scratch, imaginary_scratch;
  if (values < values_worth_a_thread || std::thread::hardware_concurrency() < 2) {
    write_group_body({&table, mode, files, counter, &stop, &real_scratch});
    return;
  }
  // Real parts here, imaginary parts in a second thread.
  const body_group real{&table,  mode,  {files.begin(), files.begin() + 3},
                        counter, &stop, &real_scratch};
  const body_group imaginary{&table,  mode,  {files.begin() + 3, files.end()},
                             counter, &stop, &imaginary_scratch};
  std::exception_ptr imaginary_failure;
  std::thread helper([&] {
    try {
      write_group_body(imaginary);
    } catch (...) {
      imaginary_failure = std::current_exception();
      stop = true;
    }
  });
  std::exception_ptr real_failure;
  try {
    write_group_body(real);
  } catch (...) {
    real_failure = std::current_exception();
    stop = true;
  }
  helper.join();
  if (real_failure) std::rethrow_exception(real_failure);
  if (imaginary_failure) std::rethrow_exception(imaginary_failure);
}

}  // namespace vort
