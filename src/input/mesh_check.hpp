// The mesh answer beside the positions the table holds: the minima against the first knot,
// the steps against the table's steps, the maxima against the last knot (with a symmetry plane, of
// the part or of the whole map). A disagreement is only a warning: a shifted frame or other
// units may be meant. And the mesh that the positions themselves give.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "input/mesh_data.hpp"
#include "input/position_spread.hpp"
#include "input/symmetry.hpp"

namespace vort {

// One text per kind of disagreement (minima, steps, maxima), each starting "the mesh data",
// e.g. "the mesh data give dx = 0.01 m, the table's x step is 0.001 (10 times smaller)", the
// mesh's values named in `unit`, that of the table's positions.
std::vector<std::string> compare_mesh(const mesh_data& mesh, const std::array<table_axis, 3>& axes,
                                      const map_symmetry& symmetry, const std::string& unit = "m");

// The first knot, the last knot and (last - first) / (N - 1) along each axis, each rounded to
// single precision as a typed value is. Throws `failure` when the positions give no such
// value (none given along an axis, or one beyond single precision). `ended_at`, the knot of
// the last record of a table that ends inside an x plane ("(9, 14, 7)"), names the likely
// cause of a last knot without a position; without it the count is questioned.
mesh_data mesh_from_positions(const std::array<table_axis, 3>& axes,
                              const std::string& ended_at = "");

}  // namespace vort
