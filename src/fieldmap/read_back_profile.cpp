#include "fieldmap/read_back_profile.hpp"

#include <array>
#include <cstddef>

#include "fieldmap/number_form.hpp"

namespace vort {
namespace {

constexpr std::size_t double_step = double_form.width + 1;

// One of the four map knots around the line, and its share of the interpolated value: taken
// in the order, and with the weights, of a conversion's own profile, so both give one number.
struct corner {
  std::int64_t i = 0;  // map knots, 0-based
  std::int64_t j = 0;
  double weight = 0;
};

std::array<corner, 4> corners_of(axis_cell x, axis_cell y) {
  std::array<corner, 4> corners{};
  for (std::size_t c = 0; c < 4; ++c) {
    const bool upper_x = (c & 1u) != 0;
    const bool upper_y = (c & 2u) != 0;
    // An axis of one knot has no upper neighbour; its weight is 0 there.
    corners[c] = {x.below + (upper_x && x.above_weight > 0 ? 1 : 0),
                  y.below + (upper_y && y.above_weight > 0 ? 1 : 0),
                  (upper_x ? x.above_weight : 1 - x.above_weight) *
                      (upper_y ? y.above_weight : 1 - y.above_weight)};
  }
  return corners;
}

// The value of x knot `i` on body line `n` of a file, as written there.
double value_at(const read_map& map, std::size_t file, std::int64_t n, std::int64_t i) {
  char field[double_step];
  read_map_bytes(map.files[file], field, double_step,
                 body_line_offset(map.knots, n) + static_cast<std::uint64_t>(i) * double_step);
  return value_of_field(field + 1, double_form);
}

}  // namespace

std::optional<axis_profile> profile_of_read_map(const read_map& map, double x, double y) {
  const std::optional<axis_cell> x_cell = cell_of(map.axes.coordinates[0], x);
  const std::optional<axis_cell> y_cell = cell_of(map.axes.coordinates[1], y);
  if (!x_cell || !y_cell) return std::nullopt;
  const std::array<corner, 4> corners = corners_of(*x_cell, *y_cell);
  axis_profile profile;
  profile.x = x;
  profile.y = y;
  const std::vector<float>& z_axis = map.axes.coordinates[2];
  profile.z.assign(z_axis.begin(), z_axis.end());
  for (auto& part : profile.parts) part.assign(z_axis.size(), 0.0);
  for (std::size_t r = 0; r < z_axis.size(); ++r) {
    for (const corner& c : corners) {
      if (c.weight == 0) continue;
      const std::int64_t n = static_cast<std::int64_t>(r) * map.knots[1] + c.j;
      for (std::size_t f = 0; f < map_files; ++f) {
        // The profile's parts are in the order of the table's fields, the files in their own.
        const auto part = static_cast<std::size_t>(file_roles[f].field);
        profile.parts[part][r] += c.weight * value_at(map, f, n, c.i);
      }
    }
  }
  return profile;
}

}  // namespace vort
