#include "input/mesh.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "common/failure.hpp"

namespace vort::mesh {

map_knots knots_of_map(grid_counts counts, mirror_mode mode) {
  map_knots knots{counts.nx, counts.ny, counts.nz};
  if (mode == mirror_mode::yz) knots.x = 2 * knots.x - 1;
  if (mode == mirror_mode::xz) knots.y = 2 * knots.y - 1;
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
[[noreturn]] void refuse_coordinate(char axis, std::int64_t n, float min, float step) {
  char where[96];
  std::snprintf(where, sizeof where, "%g",
                static_cast<double>(min) + n * static_cast<double>(step));
  throw failure{"the mesh data put knot " + std::to_string(n + 1) + " of the " + axis +
                " axis at " + where + ", beyond single precision"};
}

std::vector<float> build_axis(char name, std::int64_t knots, float min, float step) {
  std::vector<float> axis(static_cast<std::size_t>(knots) + 1);
  axis[0] = static_cast<float>(knots);
  for (std::int64_t n = 0; n < knots; ++n) {
    const float coordinate = knot_coordinate(n, min, step);
    if (!std::isfinite(coordinate)) refuse_coordinate(name, n, min, step);
    axis[static_cast<std::size_t>(n) + 1] = coordinate;
  }
  return axis;
}

}  // namespace

axes build_axes(grid_counts counts, const mesh_data& mesh, mirror_mode mode) {
  const map_knots knots = knots_of_map(counts, mode);
  axes result;
  result.xcoo = build_axis('x', knots.x, mesh.xmin, mesh.dx);
  result.ycoo = build_axis('y', knots.y, mesh.ymin, mesh.dy);
  result.zcoo = build_axis('z', knots.z, mesh.zmin, mesh.dz);
  return result;
}

}  // namespace vort::mesh
