// The axes of the written map: for x, y and z the knot coordinates in index order, in single
// precision, each computed from the mesh's minimum and step. A symmetry plane doubles the
// axis normal to it to 2N - 1 knots. With the plane at the last knot the axis simply goes on
// past it; with the plane at the first knot the image knots come first, each the stored knot
// reflected through the plane in single precision, so that an axis whose plane is at 0 comes
// out exactly symmetric.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"
#include "input/mesh_data.hpp"
#include "input/symmetry.hpp"

namespace vort {

// The most knots an axis of the map may have: its count is written in single precision, which
// holds every whole number up to 2^24 and not 2^24 + 1.
inline constexpr std::int64_t max_axis_knots = std::int64_t{1} << 24;

// Knots of the written map along x, y and z.
using map_knots = std::array<std::int64_t, 3>;
map_knots knots_of_map(grid_counts counts, const map_symmetry& symmetry);

// Coordinate of knot n (0-based): fl(fl(n * step) + min), each operation rounded to single
// precision on its own; never accumulated, so every knot carries one rounding of each kind.
float knot_coordinate(std::int64_t n, float min, float step);

// The mesh of a table whose positions are in a unit of which `per_metre` make a metre, in
// metres: each value divided in double precision and rounded once to single precision. The
// knots are then placed from it as from a mesh typed in metres, so a table in millimetres
// gives the axes of the same table in metres within the last digit (exactly where its values
// divide exactly).
mesh_data mesh_in_metres(const mesh_data& mesh, double per_metre);

struct map_axes {
  std::array<std::vector<float>, 3> coordinates;  // x, y, z; an axis's knot count is its size
};

// Counts must be at least 1 (the caller refuses smaller ones). Throws `failure` naming the
// axis and the knot when a coordinate overflows single precision, and naming the axis and the
// first two knots when two neighbouring knots fall at one coordinate (a step of zero, or one
// too small for single precision beside the coordinates).
map_axes build_map_axes(grid_counts counts, const mesh_data& mesh, const map_symmetry& symmetry);

// Refuses, as `build_map_axes` does, axes that cannot be built, without keeping them: the
// check of a mesh before the table is read, whose planes may yet change sides.
void check_map_axes(grid_counts counts, const mesh_data& mesh, const map_symmetry& symmetry);

}  // namespace vort
