#include "fieldmap/line_writer.hpp"

#include <cstdlib>

#include "fieldmap/number_form.hpp"

namespace vort {

file_factors factors_of(const file_role& role, const field_kind& kind,
                        const map_symmetry& symmetry) {
  const float stored = role.real ? kind.scale * kind.field_sign : kind.scale;
  file_factors factors{};
  for (image_mask mask = 0; mask < image_masks; ++mask) {
    float factor = stored;
    for (int a = 0; a < 3; ++a) {
      const std::optional<map_plane>& plane = symmetry.planes[static_cast<std::size_t>(a)];
      if ((mask & (1u << a)) == 0 || !plane) continue;
      // The sign change is this multiplication, so a zero's image may be -0.
      factor = factor * static_cast<float>(parity(role.component, a, plane->wall, kind.axial));
    }
    factors.by_images[mask] = factor;
  }
  return factors;
}

std::vector<body_file> body_files(output_set& set, const field_kind& kind,
                                  const map_symmetry& symmetry) {
  std::vector<body_file> files;
  for (std::size_t u = 0; u < map_files; ++u) {
    files.push_back(
        {&set.files[u], file_roles[u].field, factors_of(file_roles[u], kind, symmetry)});
  }
  return files;
}

const double* table_line(const record_table& table, int field, std::int32_t j, std::int32_t k) {
  return field_array(table, field) + values_index(table, 1, j, k);
}

void append_values(text_sink& sink, const double* line, std::int32_t i_first, std::int32_t i_last,
                   double factor) {
  const std::ptrdiff_t step = i_last >= i_first ? 1 : -1;
  const double* value = line + (i_first - 1);
  for (std::int32_t n = std::abs(i_last - i_first); n >= 0; --n, value += step) {
    put_value(sink, *value * factor, double_form);
  }
}

void write_map_line(const body_group& group, const body_file& file, text_sink& sink, std::int64_t q,
                    std::int64_t r) {
  const record_table& table = *group.table;
  const axis_layout& y = group.layout->axes[1];
  const axis_layout& z = group.layout->axes[2];
  const auto j = static_cast<std::int32_t>(y.stored[static_cast<std::size_t>(q)]) + 1;
  const auto k = static_cast<std::int32_t>(z.stored[static_cast<std::size_t>(r)]) + 1;
  const image_mask line_images = (y.image[static_cast<std::size_t>(q)] != 0 ? 2u : 0u) |
                                 (z.image[static_cast<std::size_t>(r)] != 0 ? 4u : 0u);
  const double* const line = table_line(table, file.field, j, k);
  for (const knot_run& run : group.x_runs) {
    append_values(sink, line, run.first + 1, run.last + 1,
                  file.factors.by_images[line_images | (run.image ? 1u : 0u)]);
  }
  end_line(sink);
  add_done(group.counter, static_cast<std::uint64_t>(group.layout->axes[0].stored.size()));
}

}  // namespace vort
