// Whether the field on a plane of knots fits a wall: the components that the wall forces to
// zero (those its reflection reverses) stay within 1% of the table's largest |value| over all
// six field columns. Only the knots of the plane are read.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/grid.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"
#include "input/tolerances.hpp"

namespace vort {

// The largest magnitude of each field part (Re x, Im x, Re y, Im y, Re z, Im z) on one plane of
// knots, and the knot where it lies.
struct plane_extremes {
  std::array<double, field_values> largest{};
  std::array<knot_walk, field_values> at{};
};

inline void take_knot(plane_extremes& plane, const double* fields, const knot_walk& knot) {
  for (std::size_t f = 0; f < field_values; ++f) {
    const double magnitude = fields[f] < 0 ? -fields[f] : fields[f];
    if (magnitude > plane.largest[f]) {
      plane.largest[f] = magnitude;
      plane.at[f] = knot;
    }
  }
}

// The plane of knots at index `index` (0-based) along `axis`.
plane_extremes extremes_on_plane(const record_table& table, int axis, std::int32_t index);

struct wall_fit {
  bool fits = true;
  int worst_field = -1;  // the forced part of largest magnitude (0 Re x .. 5 Im z)
  double share = 0;      // its magnitude against the table's largest
  knot_walk at;
};

wall_fit fit_to_wall(const plane_extremes& plane, int normal, wall_kind wall, bool axial,
                     double largest);

// Whether every part of the field stays within the tolerance on the plane: a plane outside
// the structure, which fits every wall and says nothing of one.
bool field_vanishes(const plane_extremes& plane, double largest);

// "Re Bx", "Im Ey": a field part as messages name it, for the field's letter.
std::string field_part_name(int field, char letter);

}  // namespace vort
