#include "fieldmap/read_back_profile.hpp"

#include "fieldmap/number_form.hpp"

namespace vort {
namespace {

constexpr std::size_t double_step = double_form.width + 1;

// The knots of a cell along one axis with their weights: the upper one only where it counts.
struct knot_weights {
  std::int64_t knot[2];
  double weight[2];
  int count;
};

knot_weights weights_of(const axis_cell& cell) {
  if (cell.above_weight == 0) return {{cell.below, cell.below}, {1, 0}, 1};
  return {{cell.below, cell.below + 1}, {1 - cell.above_weight, cell.above_weight}, 2};
}

// The values of a body line at x knots `first` and the next, where `count` is 2.
void read_values(const read_map& map, std::size_t file, std::int64_t n, std::int64_t first,
                 int count, double* values) {
  char fields[2 * double_step];
  const std::uint64_t offset =
      body_line_offset(map.knots, n) + static_cast<std::uint64_t>(first) * double_step;
  read_map_bytes(map.files[file], fields, static_cast<std::size_t>(count) * double_step, offset);
  for (int v = 0; v < count; ++v) {
    values[v] = value_of_field(fields + static_cast<std::size_t>(v) * double_step + 1, double_form);
  }
}

}  // namespace

std::optional<axis_profile> profile_of_read_map(const read_map& map, double x, double y) {
  const std::optional<axis_cell> cell_x = cell_of(map.axes.coordinates[0], x);
  const std::optional<axis_cell> cell_y = cell_of(map.axes.coordinates[1], y);
  if (!cell_x || !cell_y) return std::nullopt;
  const knot_weights along_x = weights_of(*cell_x);
  const knot_weights along_y = weights_of(*cell_y);
  axis_profile profile;
  profile.x = x;
  profile.y = y;
  const std::vector<float>& z = map.axes.coordinates[2];
  profile.z.assign(z.begin(), z.end());
  for (std::size_t f = 0; f < map_files; ++f) {
    std::vector<double>& part = profile.parts[f];
    part.assign(z.size(), 0.0);
    for (std::int64_t r = 0; r < map.knots[2]; ++r) {
      for (int b = 0; b < along_y.count; ++b) {
        double values[2] = {};
        read_values(map, f, r * map.knots[1] + along_y.knot[b], along_x.knot[0], along_x.count,
                    values);
        for (int a = 0; a < along_x.count; ++a) {
          part[static_cast<std::size_t>(r)] += along_y.weight[b] * along_x.weight[a] * values[a];
        }
      }
    }
  }
  return profile;
}

}  // namespace vort
