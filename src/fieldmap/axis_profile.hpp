// The field along a line of the written map parallel to z (the beam axis), and the figures a
// physicist checks on it before tracking. The profile holds, at every z knot of the map, the
// six written parts interpolated bilinearly in x and y from the four knots around the line;
// it is built from the converted values or from a map read back, and the figures are worked
// out from the profile alone, so that both give the same numbers.
//
// Time convention: a part pair stands for F(t) = Re[(Re F + i Im F) e^{i w t}].
#pragma once

#include <array>
#include <optional>
#include <vector>

namespace vort {

// Re x, Im x, Re y, Im y, Re z, Im z: the order of the table's field columns.
inline constexpr int profile_parts = 6;

struct axis_profile {
  double x = 0;  // where the line crosses the xy plane, in metres
  double y = 0;
  std::vector<double> z;                                 // the map's z knots
  std::array<std::vector<double>, profile_parts> parts;  // each the size of z
};

// Where a line at `at` falls among an axis's knots: between knot `below` and `below + 1`, with
// the weight `above_weight` of the upper one (0 on a knot itself; on the last knot, the knot
// before it with the weight 1, so that `below + 1` is always a knot). An axis of one knot
// holds only its own coordinate (`below` 0, weight 0). The axis may rise or fall. Empty when
// `at` lies outside the axis; `at` is taken as on a knot where single precision makes it
// that knot, as the map's coordinates were made.
struct axis_cell {
  int below = 0;
  double above_weight = 0;
};
std::optional<axis_cell> cell_of(const std::vector<float>& axis, double at);

struct on_axis_figures {
  double peak = 0;  // the largest |Fz| (|F| for an axial field), and where it is
  double peak_z = 0;
  double integral_abs = 0;  // the integral of |Fz| dz (trapezoids over the z knots)
  // Given a frequency, for a polar field: the accelerating voltage |integral Fz(z) e^{i w z/(beta
  // c)} dz| at its best phase, and the transit-time factor voltage / integral_abs.
  std::optional<double> voltage;
  std::optional<double> transit_time_factor;
};

struct rf_settings {
  std::optional<double> frequency;  // Hz
  double beta = 1;
};

on_axis_figures figures_of(const axis_profile& profile, bool axial, const rf_settings& rf);

}  // namespace vort
