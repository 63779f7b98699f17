// The profile along the line (x, y) of the map about to be written, made from the record table
// with the factors and mirror images the body's files get: the values as they will be written.
#pragma once

#include <optional>

#include "fieldmap/axis_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// Empty when the line misses the map's x or y axis.
std::optional<axis_profile> converted_profile(const record_table& table, const field_kind& kind,
                                              const map_symmetry& symmetry, const map_axes& axes,
                                              double x, double y);

}  // namespace vort
