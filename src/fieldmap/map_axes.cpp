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
  throw failure{fault::knot_beyond_single, "", 0, {std::int64_t{axis}, n + 1, coordinate}};
}

// One axis of the map: `stored` knots of the table from `min` by `step`, and, with a plane at
// the first knot, the image of each but the first, reflected through the first.
struct axis_plan {
  int axis = 0;
  std::int64_t stored = 0;
  std::int64_t knots = 0;  // of the map: `stored`, or 2 * stored - 1 with a plane
  float min = 0;
  float step = 0;
  bool reflected = false;  // a plane at the first knot: in map order, the images first
};

axis_plan plan_axis(int axis, grid_counts counts, const mesh_data& mesh,
                    const map_symmetry& symmetry) {
  const auto a = static_cast<std::size_t>(axis);
  const std::optional<map_plane>& plane = symmetry.planes[a];
  return {axis,
          count_along(counts, axis),
          knots_of_map(counts, symmetry)[a],
          mesh.min[a],
          mesh.step[a],
          plane && plane->side == plane_side::first_knot};
}

// The coordinate of the map's knot m (0-based).
float map_coordinate(const axis_plan& along, std::int64_t m) {
  if (!along.reflected) return knot_coordinate(m, along.min, along.step);
  if (m >= along.stored - 1) return knot_coordinate(m - (along.stored - 1), along.min, along.step);
  const float plane = knot_coordinate(0, along.min, along.step);
  return 2.0f * plane - knot_coordinate(along.stored - 1 - m, along.min, along.step);
}

// Every knot finite: the stored ones first, counted along the table's axis, then the images,
// counted along the map's.
void refuse_overflow(const axis_plan& along) {
  const std::int64_t direct = along.reflected ? along.stored : along.knots;
  for (std::int64_t n = 0; n < direct; ++n) {
    if (!std::isfinite(knot_coordinate(n, along.min, along.step))) {
      refuse_coordinate(along.axis, n,
                        static_cast<double>(along.min) + static_cast<double>(n) * along.step);
    }
  }
  if (!along.reflected) return;
  const float plane = knot_coordinate(0, along.min, along.step);
  for (std::int64_t m = 0; m < along.stored - 1; ++m) {
    if (!std::isfinite(map_coordinate(along, m))) {
      const float knot = knot_coordinate(along.stored - 1 - m, along.min, along.step);
      refuse_coordinate(along.axis, m, 2.0 * plane - static_cast<double>(knot));
    }
  }
}

// Two knots at one coordinate would give one position two sets of values. Knots in index
// order rise or fall monotonically, so only neighbours can coincide.
void refuse_coincident_knots(const axis_plan& along) {
  float before = map_coordinate(along, 0);
  for (std::int64_t m = 1; m < along.knots; ++m) {
    const float coordinate = map_coordinate(along, m);
    if (coordinate != before) {
      before = coordinate;
      continue;
    }
    throw failure{
        fault::knots_coincide,
        "",
        0,
        {std::int64_t{along.axis}, m, double{coordinate}, double{along.min}, double{along.step}}};
  }
}

void refuse_axis(const axis_plan& along) {
  refuse_overflow(along);
  refuse_coincident_knots(along);
}

}  // namespace

void check_map_axes(grid_counts counts, const mesh_data& mesh, const map_symmetry& symmetry) {
  for (int a = 0; a < 3; ++a) refuse_axis(plan_axis(a, counts, mesh, symmetry));
}

map_axes build_map_axes(grid_counts counts, const mesh_data& mesh, const map_symmetry& symmetry) {
  map_axes axes;
  for (int a = 0; a < 3; ++a) {
    const axis_plan along = plan_axis(a, counts, mesh, symmetry);
    refuse_axis(along);
    std::vector<float>& coordinates = axes.coordinates[static_cast<std::size_t>(a)];
    coordinates.resize(static_cast<std::size_t>(along.knots));
    for (std::int64_t m = 0; m < along.knots; ++m) {
      coordinates[static_cast<std::size_t>(m)] = map_coordinate(along, m);
    }
  }
  return axes;
}

}  // namespace vort
