// The grid axes of the written map. Each axis is a list of single-precision values: element 0
// holds the knot count, the others the knot coordinates in index order. With a mirror the
// axis normal to the mirror plane has 2N - 1 knots instead of N.
#pragma once

#include <cstdint>
#include <vector>

#include "common/grid.hpp"

namespace vort::mesh {

// Magnitudes from here on round to infinity in single precision; below it they round to a
// finite value, FLT_MAX at most (3.4028235e38, the usual text of FLT_MAX, does).
inline constexpr double single_overflow = 0x1.ffffffp127;

// The mesh answer of the dialogue, in metres. The maxima are read but take no part.
struct mesh_data {
  float xmin = 0, ymin = 0, zmin = 0;
  float xmax = 0, ymax = 0, zmax = 0;
  float dx = 0, dy = 0, dz = 0;
};

struct axes {
  std::vector<float> xcoo, ycoo, zcoo;
};

// Knots of the written map along x, y and z (the doubled axis counted as 2N - 1).
struct map_knots {
  std::int64_t x, y, z;
};
map_knots knots_of_map(grid_counts counts, mirror_mode mode);

// Coordinate of knot n (0-based): fl(fl(n * step) + min), each operation rounded to single
// precision on its own; never accumulated, so every knot carries one rounding of each kind.
float knot_coordinate(std::int64_t n, float min, float step);

// Counts must be at least 1 (the caller refuses smaller ones). Throws `failure` naming the
// axis and the knot when a coordinate overflows single precision.
axes build_axes(grid_counts counts, const mesh_data& mesh, mirror_mode mode);

}  // namespace vort::mesh
