#include "fieldmap/map_axes.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/failure.hpp"

namespace vort {

map_knots knots_of_map(grid_counts counts, const map_symmetry& symmetry) {
  map_knots knots{counts.nx, counts.ny, counts.nz};
  for (std::size_t a = 0; a < 3; ++a) {
    if (symmetry.planes[a]) knots[a] = 2 * knots[a] - 1;
  }
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
[[noreturn]] void refuse_coordinate(int axis, std::int64_t n, double coordinate) {
  throw failure{"the mesh data put knot " + std::to_string(n + 1) + " of the " + axis_names[axis] +
                " axis at " + number_text(coordinate, 6) + ", beyond single precision"};
}

std::vector<float> build_axis(int axis, std::int64_t knots, float min, float step) {
  std::vector<float> coordinates(static_cast<std::size_t>(knots));
  for (std::int64_t n = 0; n < knots; ++n) {
    const float coordinate = knot_coordinate(n, min, step);
    if (!std::isfinite(coordinate)) {
      refuse_coordinate(axis, n, static_cast<double>(min) + static_cast<double>(n) * step);
    }
    coordinates[static_cast<std::size_t>(n)] = coordinate;
  }
  return coordinates;
}

// The stored knots, then the image of each but the first, reflected through the first: in map
// order, the images first.
std::vector<float> reflected_axis(int axis, std::int64_t stored, float min, float step) {
  const std::vector<float> knots = build_axis(axis, stored, min, step);
  const float plane = knots.front();
  std::vector<float> coordinates;
  for (std::int64_t n = stored - 1; n >= 1; --n) {
    const float image = 2.0f * plane - knots[static_cast<std::size_t>(n)];
    if (!std::isfinite(image)) {
      refuse_coordinate(axis, stored - 1 - n,
                        2.0 * plane - static_cast<double>(knots[static_cast<std::size_t>(n)]));
    }
    coordinates.push_back(image);
  }
  coordinates.insert(coordinates.end(), knots.begin(), knots.end());
  return coordinates;
}

// Two knots at one coordinate would give one position two sets of values. Knots in index
// order rise or fall monotonically, so only neighbours can coincide.
void refuse_coincident_knots(int axis, const std::vector<float>& coordinates, float min,
                             float step) {
  const auto same = std::adjacent_find(coordinates.begin(), coordinates.end());
  if (same == coordinates.end()) return;
  const std::string name = axis_names[axis];
  const auto first = same - coordinates.begin() + 1;
  throw failure{"the mesh data put knots " + std::to_string(first) + " and " +
                std::to_string(first + 1) + " of the " + name + " axis both at " + name + " = " +
                number_text(*same) +
                (step == 0 ? " (d" + name + " = 0)"
                           : " in single precision (" + name + "min = " + number_text(min) + ", d" +
                                 name + " = " + number_text(step) + ")") +
                ": a map's knots must be distinct"};
}

}  // namespace

map_axes build_map_axes(grid_counts counts, const mesh_data& mesh, const map_symmetry& symmetry) {
  const map_knots knots = knots_of_map(counts, symmetry);
  map_axes axes;
  for (int a = 0; a < 3; ++a) {
    const auto n = static_cast<std::size_t>(a);
    const std::optional<mirror_plane>& plane = symmetry.planes[n];
    axes.coordinates[n] = plane && plane->side == plane_side::first_knot
                              ? reflected_axis(a, count_along(counts, a), mesh.min[n], mesh.step[n])
                              : build_axis(a, knots[n], mesh.min[n], mesh.step[n]);
    refuse_coincident_knots(a, axes.coordinates[n], mesh.min[n], mesh.step[n]);
  }
  return axes;
}

}  // namespace vort
