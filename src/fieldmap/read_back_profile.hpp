// The profile along a line parallel to z of a map read back: the six parts at every z knot, in
// the order of the table's fields, interpolated from the four knots around the line as a
// conversion's own profile is, from the values as the files hold them.
#pragma once

#include <optional>

#include "fieldmap/axis_profile.hpp"
#include "fieldmap/map_reading.hpp"

namespace vort {

// Empty where the line at (x, y) lies outside the map. Throws `failure` where a file cannot
// be read; the values read are those the check found in form.
std::optional<axis_profile> profile_of_read_map(const read_map& map, double x, double y);

}  // namespace vort
