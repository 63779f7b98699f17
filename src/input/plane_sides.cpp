#include "input/plane_sides.hpp"

#include <cmath>

#include "input/tolerances.hpp"

namespace vort {

namespace {

bool at_zero(const table_axis& axis, double end) {
  const double largest = std::fmax(std::fabs(axis.first), std::fabs(axis.last));
  return axis.knots > 1 && axis.first != axis.last && std::fabs(end) <= printed_rounding * largest;
}

// The field on the plane fits the wall there, and is not simply absent.
bool plane_tells(const plane_extremes& plane, int normal, wall_kind wall, bool axial,
                 double largest) {
  return fit_to_wall(plane, normal, wall, axial, largest).fits && !field_vanishes(plane, largest);
}

// The plane at the last knot, where the axis rises to zero there: the part below the plane,
// as a lower part's table has it, and no guess even where a metal end wall fits the wall too.
bool lower_part_to_zero(const table_axis& axis, plane_side side) {
  return side == plane_side::last_knot && axis.last > axis.first && at_zero(axis, axis.last);
}

}  // namespace

bool starts_at_zero(const table_axis& axis) {
  return at_zero(axis, axis.first);
}

bool ends_at_zero(const table_axis& axis) {
  return at_zero(axis, axis.last);
}

bool holds_both_sides_of_zero(const table_axis& axis) {
  const double low = std::fmin(axis.first, axis.last), high = std::fmax(axis.first, axis.last);
  return low < 0 && high > 0 && std::fabs(low + high) <= 2 * whole_axis_tolerance * (high - low);
}

side_choice choose_side(const std::array<plane_extremes, 2>& ends, const table_axis* axis,
                        int normal, wall_kind wall, bool axial, double largest) {
  side_choice choice;
  if (axis == nullptr) {
    if (field_vanishes(ends[1], largest)) choice.doubt = side_doubt::field_vanishes;
    return choice;
  }
  const bool first_tells = plane_tells(ends[0], normal, wall, axial, largest);
  const bool last_tells = plane_tells(ends[1], normal, wall, axial, largest);
  if (first_tells != last_tells) {
    if (first_tells) choice.side = plane_side::first_knot;
  } else if (starts_at_zero(*axis)) {
    choice.side = plane_side::first_knot;
  }
  const plane_extremes& taken = ends[choice.side == plane_side::first_knot ? 0 : 1];
  if (holds_both_sides_of_zero(*axis)) {
    choice.doubt = side_doubt::axis_whole;
  } else if (first_tells && last_tells && !lower_part_to_zero(*axis, choice.side)) {
    choice.doubt = side_doubt::both_ends_fit;
  } else if (field_vanishes(taken, largest)) {
    choice.doubt = side_doubt::field_vanishes;
  }
  return choice;
}

std::vector<doubtful_plane> place_planes(map_symmetry& symmetry, const record_table& table,
                                         std::int64_t records,
                                         const std::array<table_axis, 3>* axes, bool axial) {
  // Knots without a record read as zero, a field that seems to vanish: a table cut short
  // has such knots on the last plane of every axis, so its field tells no side.
  const bool field_tells = records >= table.rows;
  std::vector<doubtful_plane> doubtful;
  for (int a = 0; a < 3; ++a) {
    std::optional<map_plane>& plane = symmetry.planes[static_cast<std::size_t>(a)];
    if (!plane) continue;
    const table_axis* axis = axes != nullptr ? &(*axes)[static_cast<std::size_t>(a)] : nullptr;
    if (plane->side_given) {
      if (axis != nullptr && holds_both_sides_of_zero(*axis)) {
        doubtful.push_back({a, side_doubt::axis_whole});
      }
      continue;
    }
    plane->side = plane_side::last_knot;
    const std::int32_t knots = count_along(table.counts, a);
    if (knots < 2) continue;  // one plane of knots: no end to choose
    if (!field_tells) {
      if (axis != nullptr && starts_at_zero(*axis)) plane->side = plane_side::first_knot;
      if (axis != nullptr && holds_both_sides_of_zero(*axis)) {
        doubtful.push_back({a, side_doubt::axis_whole});
      }
      continue;
    }
    const std::array<plane_extremes, 2> ends{extremes_on_plane(table, a, 0),
                                             extremes_on_plane(table, a, knots - 1)};
    const side_choice choice = choose_side(ends, axis, a, plane->wall, axial, table.largest);
    plane->side = choice.side;
    if (choice.doubt != side_doubt::none) doubtful.push_back({a, choice.doubt});
  }
  return doubtful;
}

}  // namespace vort
