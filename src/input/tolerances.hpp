// How near two positions, or a field value and zero, must be to count as the same: every
// tolerance that the checks of a table's positions and field apply. The grid check and the
// grid inference take theirs from here, so that counts found from the positions pass the check.
#pragma once

namespace vort {

// Along an axis, records of one knot index may lie this share of the smallest step the table
// shows apart: above the rounding or jitter of printed positions, far below a neighbour's
// distance.
inline constexpr double step_share_tolerance = 0.01;

// Nor less than this share of the largest |position| along the axis: a position printed with
// seven significant digits is rounded by up to about that much, and the rounding grows with
// the position (a beamline's z may lie 150 m out, its x within mm of 0). An end of an axis
// lies at zero within it.
inline constexpr double printed_rounding = 1e-6;

// Nor less than this share of the largest |position| in the whole table, which is all there
// is for an axis whose positions are all alike: far above what printing a double leaves
// (about 1e-16), far below any step. Positions this near are one position as printed.
inline constexpr double printed_alike = 1e-9;

// And never more than this share of the smallest step, or a neighbouring knot could pass for
// the same one. Grid inference draws its line between jitter and steps as many binary orders
// of magnitude below the smallest step as this share is below one.
inline constexpr double most_step_share = 0.25;

// An axis that runs through zero holds both sides of a plane at zero when its middle lies
// within this share of its length from zero: a table of the whole structure, give or take a
// knot or two at either end.
inline constexpr double whole_axis_tolerance = 0.1;

// A field component that a wall forces to zero may reach this share of the table's largest
// value on the wall's plane and still fit it: above the numerical noise a solution leaves where
// a wall forces a component to zero, below a field that the wall does not force.
inline constexpr double wall_tolerance = 0.01;

// The whole binary orders of magnitude that `share` (at most 1) lies below one.
constexpr int binary_orders_below_one(double share) {
  int orders = 0;
  for (; share < 1; share *= 2) ++orders;
  return orders;
}

}  // namespace vort
