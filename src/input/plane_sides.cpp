#include "input/plane_sides.hpp"

#include <cmath>

#include "input/wall_check.hpp"

namespace vort {

namespace {

bool at_zero(const table_axis& axis, double end) {
  const double largest = std::fmax(std::fabs(axis.first), std::fabs(axis.last));
  return axis.knots > 1 && axis.last > axis.first && std::fabs(end) <= 1e-6 * largest;
}

}  // namespace

bool starts_at_zero(const table_axis& axis) {
  return at_zero(axis, axis.first);
}

bool ends_at_zero(const table_axis& axis) {
  return at_zero(axis, axis.last);
}

std::vector<int> place_planes(map_symmetry& symmetry, const record_table& table,
                              const std::array<table_axis, 3>* axes, bool axial) {
  std::vector<int> undecided;
  for (int a = 0; a < 3; ++a) {
    std::optional<mirror_plane>& plane = symmetry.planes[static_cast<std::size_t>(a)];
    if (!plane || plane->side_given) continue;
    plane->side = plane_side::last_knot;
    if (axes == nullptr || !starts_at_zero((*axes)[static_cast<std::size_t>(a)])) continue;
    const plane_extremes first = extremes_on_plane(table, a, 0);
    const plane_extremes last = extremes_on_plane(table, a, count_along(table.counts, a) - 1);
    const bool fits_first = fit_to_wall(first, a, plane->wall, axial, table.largest).fits;
    const bool fits_last = fit_to_wall(last, a, plane->wall, axial, table.largest).fits;
    if (fits_first || !fits_last) plane->side = plane_side::first_knot;
    // A field that vanishes on the last plane says nothing of a wall there.
    if (fits_first && fits_last && !field_vanishes(last, table.largest)) undecided.push_back(a);
  }
  return undecided;
}

}  // namespace vort
