// Which end of its axis a symmetry plane lies at. The last knot, as a table of the part below
// the plane has it, unless the table is the upper half: its positions along the axis start at
// zero (within a millionth of the axis's largest position) and go up. Even then the last knot
// holds where the field fits the wall on the last plane and not on the first: a table whose
// origin sits at the structure's edge. Without positions (unchecked, or all zero) the plane
// lies at the last knot.
#pragma once

#include <array>
#include <vector>

#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// Whether an axis of the table starts at zero and goes up, or goes up to zero and ends there
// (within a millionth of the axis's largest position).
bool starts_at_zero(const table_axis& axis);
bool ends_at_zero(const table_axis& axis);

// Sets the side of every plane of `symmetry` that the user did not; `axes` is null where the
// positions are unknown. Returns the normals of the planes whose side the field could not
// tell: both end planes fit the wall (a metal end wall fits an electric wall as well as a
// symmetry plane does), and the first knot was taken.
std::vector<int> place_planes(map_symmetry& symmetry, const record_table& table,
                              const std::array<table_axis, 3>* axes, bool axial);

}  // namespace vort
