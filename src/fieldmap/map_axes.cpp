#include "fieldmap/map_axes.hpp"

#include <cmath>

#include "common/failure.hpp"

namespace vort {

map_knots knots_of_map(grid_counts counts, mirror_mode mode) {
  map_knots knots{counts.nx, counts.ny, counts.nz};
  const int doubled = doubled_axis(mode);
  if (doubled >= 0) knots[static_cast<std::size_t>(doubled)] = 2 * knots[doubled] - 1;
  return knots;
}

float knot_coordinate(std::int64_t n, float min, float step) {
  const float index = static_cast<float>(n);
  const float offset = index * step;
  const float coordinate = offset + min;
  return coordinate;
}

namespace {

// A coordinate that overflows single precision would be written as Infinity, which no
// tracking code reads as a position.
[[noreturn]] void refuse_coordinate(int axis, std::int64_t n, float min, float step) {
  throw failure{"the mesh data put knot " + std::to_string(n + 1) + " of the " + axis_names[axis] +
                " axis at " +
                number_text(static_cast<double>(min) + static_cast<double>(n) * step, 6) +
                ", beyond single precision"};
}

std::vector<float> build_axis(int axis, std::int64_t knots, float min, float step) {
  std::vector<float> coordinates(static_cast<std::size_t>(knots));
  for (std::int64_t n = 0; n < knots; ++n) {
    const float coordinate = knot_coordinate(n, min, step);
    if (!std::isfinite(coordinate)) refuse_coordinate(axis, n, min, step);
    coordinates[static_cast<std::size_t>(n)] = coordinate;
  }
  return coordinates;
}

}  // namespace

map_axes build_map_axes(grid_counts counts, const mesh_data& mesh, mirror_mode mode) {
  const map_knots knots = knots_of_map(counts, mode);
  map_axes axes;
  for (int a = 0; a < 3; ++a) {
    const auto n = static_cast<std::size_t>(a);
    axes.coordinates[n] = build_axis(a, knots[n], mesh.min[n], mesh.step[n]);
  }
  return axes;
}

}  // namespace vort
