// The mesh answer beside the positions the table holds: the minima against the first knot,
// the steps against the table's steps, the maxima against the last knot (with a symmetry plane, of
// the part or of the whole map). A disagreement is only a warning: a shifted frame or other
// units may be meant. And the mesh that the positions themselves give.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "input/mesh_data.hpp"
#include "input/position_spread.hpp"
#include "input/symmetry.hpp"

namespace vort {

// Where the mesh answer and the table's positions part: along `axis`, the mesh's minimum,
// step or maximum (`mesh_value`, in metres) against the table's first knot, step or last knot
// (`table_value`); for a maximum along an axis that a plane doubles past its last knot, also
// the last knot of the whole map (`whole_map`).
enum class mesh_bound { min, step, max };
struct mesh_disagreement {
  mesh_bound bound = mesh_bound::min;
  int axis = 0;
  double mesh_value = 0;
  double table_value = 0;
  std::optional<double> whole_map;
};

// Every disagreement, minima first, then steps, then maxima, each in axis order.
std::vector<mesh_disagreement> compare_mesh(const mesh_data& mesh,
                                            const std::array<table_axis, 3>& axes,
                                            const map_symmetry& symmetry);

// The first knot, the last knot and (last - first) / (N - 1) along each axis, each rounded to
// single precision as a typed value is. Throws `failure` when the positions give no such
// value (`no_knot_position` along an axis, or `positions_beyond_single`). `ended_at`, the knot
// of the last record of a table that ends inside an x plane ("(9, 14, 7)"), names the likely
// cause of a last knot without a position; without it the count is questioned.
mesh_data mesh_from_positions(const std::array<table_axis, 3>& axes,
                              const std::string& ended_at = "");

}  // namespace vort
