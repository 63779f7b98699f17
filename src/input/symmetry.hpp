// The mirror of a half table: the symmetry plane that the map is rebuilt about.
#pragma once

namespace vort {

enum class mirror_mode { none, yz, xz };

// The axis normal to the mirror plane, whose knots the map doubles: x for YZ, y for XZ, -1 for
// none.
inline int doubled_axis(mirror_mode mode) {
  return mode == mirror_mode::yz ? 0 : mode == mirror_mode::xz ? 1 : -1;
}

}  // namespace vort
