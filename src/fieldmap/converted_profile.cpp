#include "fieldmap/converted_profile.hpp"

#include <array>
#include <cstddef>

#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_layout.hpp"

namespace vort {
namespace {

// The factors of each table field, in the order of its columns.
std::array<file_factors, profile_parts> factors_by_field(const field_kind& kind,
                                                         const map_symmetry& symmetry) {
  std::array<file_factors, profile_parts> factors{};
  for (const file_role& role : file_roles) {
    factors[static_cast<std::size_t>(role.field)] = factors_of(role, kind, symmetry);
  }
  return factors;
}

// One of the four map knots around the line, and its share of the interpolated value.
struct corner {
  std::int32_t i = 0;  // stored indices, 0-based
  std::int32_t j = 0;
  image_mask images = 0;  // across the x and y planes
  double weight = 0;
};

std::array<corner, 4> corners_of(const map_layout& layout, axis_cell x, axis_cell y) {
  std::array<corner, 4> corners{};
  for (std::size_t c = 0; c < 4; ++c) {
    const bool upper_x = (c & 1u) != 0;
    const bool upper_y = (c & 2u) != 0;
    // An axis of one knot has no upper neighbour; its weight is 0 there.
    const auto m = static_cast<std::size_t>(x.below + (upper_x && x.above_weight > 0 ? 1 : 0));
    const auto n = static_cast<std::size_t>(y.below + (upper_y && y.above_weight > 0 ? 1 : 0));
    const axis_layout& along_x = layout.axes[0];
    const axis_layout& along_y = layout.axes[1];
    corners[c] = {along_x.stored[m], along_y.stored[n],
                  (along_x.image[m] != 0 ? 1u : 0u) | (along_y.image[n] != 0 ? 2u : 0u),
                  (upper_x ? x.above_weight : 1 - x.above_weight) *
                      (upper_y ? y.above_weight : 1 - y.above_weight)};
  }
  return corners;
}

}  // namespace

std::optional<axis_profile> converted_profile(const record_table& table, const field_kind& kind,
                                              const map_symmetry& symmetry, const map_axes& axes,
                                              double x, double y) {
  const std::optional<axis_cell> x_cell = cell_of(axes.coordinates[0], x);
  const std::optional<axis_cell> y_cell = cell_of(axes.coordinates[1], y);
  if (!x_cell || !y_cell) return std::nullopt;
  const map_layout layout = layout_of(table.counts, symmetry);
  const std::array<file_factors, profile_parts> factors = factors_by_field(kind, symmetry);
  const std::array<corner, 4> corners = corners_of(layout, *x_cell, *y_cell);
  axis_profile profile;
  profile.x = x;
  profile.y = y;
  const std::vector<float>& z_axis = axes.coordinates[2];
  profile.z.assign(z_axis.begin(), z_axis.end());
  for (auto& part : profile.parts) part.assign(z_axis.size(), 0.0);
  const axis_layout& along_z = layout.axes[2];
  for (std::size_t r = 0; r < z_axis.size(); ++r) {
    const image_mask z_image = along_z.image[r] != 0 ? 4u : 0u;
    for (const corner& c : corners) {
      if (c.weight == 0) continue;
      const std::int64_t index = values_index(table, c.i + 1, c.j + 1, along_z.stored[r] + 1);
      for (std::size_t f = 0; f < profile_parts; ++f) {
        // The written value: the table's times the file's factor, as the body forms it.
        const double written = field_array(table, static_cast<int>(f))[index] *
                               factors[f].by_images[c.images | z_image];
        profile.parts[f][r] += c.weight * written;
      }
    }
  }
  return profile;
}

}  // namespace vort
