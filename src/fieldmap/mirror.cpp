#include "fieldmap/mirror.hpp"

namespace vort {

void write_yz_mirror_row(const body_group& group, std::int32_t j, std::int32_t k) {
  const record_table& table = *group.table;
  const std::int32_t nx = table.counts.nx;
  for (const body_file& f : group.files) {
    const double* const line = table_line(table, f.field, j, k);
    append_values(*f.file, line, 1, nx, f.stored_factor);
    if (nx > 1) append_values(*f.file, line, nx - 1, 1, f.image_factor);
    end_line(*f.file);
  }
  add_done(group.counter, group.files.size() * (2 * static_cast<std::uint64_t>(nx) - 1));
}

void write_xz_mirror_plane(const body_group& group, std::int32_t k) {
  const std::int32_t ny = group.table->counts.ny;
  for (std::int32_t j = 1; j <= ny; ++j) write_plain_row(group, j, k);
  for (std::int32_t j = ny - 1; j >= 1; --j) write_plain_row(group, j, k, true);
}

}  // namespace vort
