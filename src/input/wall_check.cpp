#include "input/wall_check.hpp"

namespace vort {

plane_extremes extremes_on_plane(const record_table& table, int axis, std::int32_t index) {
  plane_extremes plane;
  const grid_counts counts = table.counts;
  std::array<std::int32_t, 3> first{0, 0, 0}, last{counts.nx - 1, counts.ny - 1, counts.nz - 1};
  first[static_cast<std::size_t>(axis)] = last[static_cast<std::size_t>(axis)] = index;
  double fields[field_values];
  for (std::int32_t k = first[2]; k <= last[2]; ++k) {
    for (std::int32_t j = first[1]; j <= last[1]; ++j) {
      for (std::int32_t i = first[0]; i <= last[0]; ++i) {
        const std::int64_t index = values_index(table, i + 1, j + 1, k + 1);
        for (int f = 0; f < field_values; ++f) fields[f] = field_array(table, f)[index];
        take_knot(plane, fields, knot_walk{counts, i, j, k});
      }
    }
  }
  return plane;
}

wall_fit fit_to_wall(const plane_extremes& plane, int normal, wall_kind wall, bool axial,
                     double largest) {
  wall_fit fit;
  for (int f = 0; f < field_values; ++f) {
    if (parity(f / 2, normal, wall, axial) > 0) continue;  // not forced to zero
    const double share = largest > 0 ? plane.largest[static_cast<std::size_t>(f)] / largest : 0;
    if (fit.worst_field < 0 || share > fit.share) {
      fit.worst_field = f;
      fit.share = share;
      fit.at = plane.at[static_cast<std::size_t>(f)];
    }
  }
  fit.fits = fit.share <= wall_tolerance;
  return fit;
}

bool field_vanishes(const plane_extremes& plane, double largest) {
  for (const double magnitude : plane.largest) {
    if (magnitude > wall_tolerance * largest) return false;
  }
  return true;
}

std::string field_part_name(int field, char letter) {
  return std::string(field % 2 == 0 ? "Re " : "Im ") + letter + axis_names[field / 2];
}

}  // namespace vort
