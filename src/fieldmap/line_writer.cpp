#include "fieldmap/line_writer.hpp"

#include <cstdlib>

#include "fieldmap/number_form.hpp"

namespace vort {
namespace {

// The image of a component keeps or turns its sign: -sign for the component normal to the
// mirror plane, +sign for the other transverse one, 1 for z. So for an electric field (and
// any flag but B) the normal component turns, for B (sign -1) the other transverse one.
float mirror_parity(mirror_mode mode, int component, float sign) {
  if (component == 2 || mode == mirror_mode::none) return 1.0f;
  const bool normal = (mode == mirror_mode::yz) == (component == 0);
  return normal ? -sign : sign;
}

}  // namespace

file_factors factors_of(const file_role& role, const field_kind& kind, mirror_mode mode) {
  const float stored = role.real ? kind.scale * kind.field_sign : kind.scale;
  const float image = stored * mirror_parity(mode, role.component, kind.field_sign);
  return {stored, image};
}

std::vector<body_file> body_files(output_set& set, const field_kind& kind, mirror_mode mode) {
  std::vector<body_file> files;
  for (std::size_t u = 0; u < map_files; ++u) {
    const file_factors factors = factors_of(file_roles[u], kind, mode);
    files.push_back({&set.files[u], file_roles[u].field, factors.stored, factors.image});
  }
  return files;
}

const double* table_line(const record_table& table, int field, std::int32_t j, std::int32_t k) {
  return field_array(table, field) + place_of(table, 1, j, k);
}

void append_values(output_file& file, const double* line, std::int32_t i_first, std::int32_t i_last,
                   double factor) {
  const std::ptrdiff_t step = i_last >= i_first ? 1 : -1;
  const double* value = line + (i_first - 1);
  for (std::int32_t n = std::abs(i_last - i_first); n >= 0; --n, value += step) {
    put_value(file, *value * factor, double_form);
  }
}

void write_plain_row(const body_group& group, std::int32_t j, std::int32_t k, bool image) {
  const record_table& table = *group.table;
  for (const body_file& f : group.files) {
    append_values(*f.file, table_line(table, f.field, j, k), 1, table.counts.nx,
                  image ? f.image_factor : f.stored_factor);
    end_line(*f.file);
  }
  add_done(group.counter, group.files.size() * static_cast<std::uint64_t>(table.counts.nx));
}

}  // namespace vort
