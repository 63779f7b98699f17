// Which end of its axis a symmetry plane lies at, where the user does not say.
//
// An end *tells* when the field on its plane of knots fits the plane's wall and does not
// vanish there: a plane where every component is (nearly) zero lies outside the structure as
// often as on a symmetry plane, and fits any wall. The plane lies at the end that tells.
// Where both ends tell or neither does, an end at coordinate zero is taken over one that is
// not (ascending or descending positions alike), and otherwise the last knot, as a table of
// the part below the plane has it. Without positions (unchecked, or all zero) the plane lies
// at the last knot.
//
// What the run is told, since the side is a guess then: both ends tell (a metal end wall fits
// an electric wall as well as a symmetry plane does), unless the plane is taken at the last
// knot and the axis rises to zero there, as a lower part's table has it; the field vanishes on the
// plane taken; or the axis already holds both sides of zero, roughly symmetric, so that the table
// seems whole along it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"
#include "input/tolerances.hpp"
#include "input/wall_check.hpp"

namespace vort {

// Whether an end of an axis lies at zero: within the rounding of a printed position of the
// axis's largest one, on an axis of more than one knot whose ends differ, in either order.
bool starts_at_zero(const table_axis& axis);
bool ends_at_zero(const table_axis& axis);

// first < 0 < last (or the other way round), with the middle of the axis within
// `whole_axis_tolerance` of zero.
bool holds_both_sides_of_zero(const table_axis& axis);

// Why the side of a plane is in doubt, and the run is told so.
enum class side_doubt {
  none,
  both_ends_fit,   // the field fits the wall at both ends and vanishes at neither
  field_vanishes,  // every component vanishes on the plane taken
  axis_whole,      // the axis already holds both sides of zero
};

struct side_choice {
  plane_side side = plane_side::last_knot;
  side_doubt doubt = side_doubt::none;
};

// The side of a plane of `wall` normal to `normal`, from the field on the first and the last
// plane of knots of its axis; `axis` is null where the positions are unknown.
side_choice choose_side(const std::array<plane_extremes, 2>& ends, const table_axis* axis,
                        int normal, wall_kind wall, bool axial, double largest);

struct doubtful_plane {
  int normal = 0;
  side_doubt doubt = side_doubt::none;
};

// Sets the side of every plane of `symmetry` that the user did not; `axes` is null where the
// positions are unknown. Returns the planes whose side is in doubt, by normal; a plane whose
// side the user gave is in doubt only where its axis is whole. Where the table holds fewer
// than `table.rows` records (`records`), the field tells nothing: the side comes from the
// positions alone (an axis starting at zero, else the last knot), and only a whole axis is a
// doubt.
std::vector<doubtful_plane> place_planes(map_symmetry& symmetry, const record_table& table,
                                         std::int64_t records,
                                         const std::array<table_axis, 3>* axes, bool axial);

}  // namespace vort
