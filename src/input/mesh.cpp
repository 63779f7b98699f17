#include "input/mesh.hpp"

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

std::vector<float> build_axis(std::int64_t knots, float min, float step) {
  std::vector<float> axis(static_cast<std::size_t>(knots) + 1);
  axis[0] = static_cast<float>(knots);
  for (std::int64_t n = 0; n < knots; ++n) {
    axis[static_cast<std::size_t>(n) + 1] = knot_coordinate(n, min, step);
  }
  return axis;
}

}  // namespace

axes build_axes(grid_counts counts, const mesh_data& mesh, mirror_mode mode) {
  const map_knots knots = knots_of_map(counts, mode);
  axes result;
  result.xcoo = build_axis(knots.x, mesh.xmin, mesh.dx);
  result.ycoo = build_axis(knots.y, mesh.ymin, mesh.dy);
  result.zcoo = build_axis(knots.z, mesh.zmin, mesh.dz);
  return result;
}

}  // namespace vort::mesh
