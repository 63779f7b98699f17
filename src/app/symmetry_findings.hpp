// What the field on the end planes of a table's axes says of symmetry planes, for --inspect:
// on each plane at an end of an axis that lies at zero, which components vanish, and so which
// wall the plane would be; likewise on the end of an axis away from zero whose other end is
// empty (the field vanishes there, outside the structure). The field's kind is not known to an
// inspection, so both readings are given: where the normal component vanishes, a magnetic wall for
// E and an electric one for B; where the tangential ones vanish, the other way round. Where every
// component vanishes, the field cannot tell the wall at all, and the plane is proposed as magnetic.
// Each plane is proposed at the end a conversion would take, given as :first or :last where
// a conversion would not take it there unasked.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/grid.hpp"
#include "input/position_spread.hpp"
#include "input/symmetry.hpp"
#include "input/table_reader.hpp"
#include "input/wall_check.hpp"

namespace vort {

// The field on the first and last plane of knots of each axis, gathered in the pass that
// checks the grid; the pass starts again (record 1) when another grid is tried.
struct end_planes {
  std::array<std::array<plane_extremes, 2>, 3> ends;  // by axis: the first plane, the last

  void take(const record_view& record, const knot_walk& knot);
};

// The symmetry lists that the zero ends of the axes suggest, for an E and for a B field.
struct symmetry_proposal {
  symmetry_list for_e, for_b;
};

// For each axis that starts or ends at zero, a line on its plane there ("x ends at 0, where
// ..."), and for each axis cut away from zero, on its cut end ("x starts at 0.1, where ...");
// the planes found go to `proposal`. No line when no axis is either.
std::vector<std::string> symmetry_findings(const std::array<table_axis, 3>& axes,
                                           const end_planes& planes, double largest,
                                           symmetry_proposal& proposal);

}  // namespace vort
