#include "fieldmap/mirror.hpp"

namespace vort {
namespace {

// A z plane's values are gathered for the XZ mirror when the copy stays this small: its
// image lines read them again in reverse, and the table's rows of one plane lie Ny * Nz rows
// apart, too far apart to be still in the cache the second time.
constexpr std::size_t max_gathered_bytes = std::size_t{2} << 20;

// A gathered plane holds the group's fields file by file, line by line: line j (1-based) of
// file f starts at ((f * Ny) + j - 1) * Nx.
std::size_t gathered_line(const grid_counts& counts, std::size_t f, std::int32_t j) {
  return (f * static_cast<std::size_t>(counts.ny) + static_cast<std::size_t>(j - 1)) *
         static_cast<std::size_t>(counts.nx);
}

// Values in a gathered plane of `files` files: where a further file would start.
std::size_t gathered_size(const grid_counts& counts, std::size_t files) {
  return gathered_line(counts, files, 1);
}

// The group's fields of plane k. The table rows are visited once each, in the order they
// lie in memory (x plane by x plane), not Ny * Nz rows apart.
void gather_plane(const body_group& group, std::int32_t k, std::vector<double>& plane) {
  const record_table& table = *group.table;
  plane.resize(gathered_size(table.counts, group.files.size()));
  for (std::int32_t i = 1; i <= table.counts.nx; ++i) {
    for (std::int32_t j = 1; j <= table.counts.ny; ++j) {
      const double* row = table.row(row_of(table, i, j, k));
      for (std::size_t f = 0; f < group.files.size(); ++f) {
        plane[gathered_line(table.counts, f, j) + static_cast<std::size_t>(i - 1)] =
            row[group.files[f].field];
      }
    }
  }
}

}  // namespace

void write_yz_mirror_row(const body_group& group, std::int32_t j, std::int32_t k) {
  const record_table& table = *group.table;
  const std::int32_t nx = table.counts.nx;
  for (const body_file& f : group.files) {
    const line_values line = table_line(table, f.field, j, k);
    append_values(*f.file, line, 1, nx, f.stored_factor);
    if (nx > 1) append_values(*f.file, line, nx - 1, 1, f.image_factor);
    end_line(*f.file);
  }
  add_done(group.counter, group.files.size() * (2 * static_cast<std::uint64_t>(nx) - 1));
}

void write_xz_mirror_plane(const body_group& group, std::int32_t k) {
  const record_table& table = *group.table;
  const std::int32_t nx = table.counts.nx;
  const std::int32_t ny = table.counts.ny;
  const std::size_t plane_bytes = gathered_size(table.counts, group.files.size()) * sizeof(double);
  if (group.scratch == nullptr || plane_bytes > max_gathered_bytes) {
    for (std::int32_t j = 1; j <= ny; ++j) write_plain_row(group, j, k);
    for (std::int32_t j = ny - 1; j >= 1; --j) write_plain_row(group, j, k, true);
    return;
  }
  std::vector<double>& plane = *group.scratch;
  gather_plane(group, k, plane);
  const std::int64_t lines = 2 * std::int64_t{ny} - 1;
  for (std::int64_t q = 1; q <= lines; ++q) {
    const bool image = q > ny;
    const auto j = static_cast<std::int32_t>(image ? 2 * std::int64_t{ny} - q : q);
    for (std::size_t f = 0; f < group.files.size(); ++f) {
      const body_file& file = group.files[f];
      append_values(*file.file, {plane.data() + gathered_line(table.counts, f, j), 1}, 1, nx,
                    image ? file.image_factor : file.stored_factor);
      end_line(*file.file);
    }
    add_done(group.counter, group.files.size() * static_cast<std::uint64_t>(nx));
  }
}

}  // namespace vort
