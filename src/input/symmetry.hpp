// Symmetry planes: a structure solved in part (a half, a quarter, an eighth) and set in the
// solver with each symmetry plane as a magnetic wall (tangential H = 0) or an electric wall
// (tangential E = 0). The map of the whole structure is rebuilt from the part by reflecting it
// in each plane.
//
// E is a polar vector and B an axial one. A reflection in a plane of normal n keeps, for a
// magnetic wall, E's tangential components and B's normal one and reverses the others; for an
// electric wall it does the opposite of each. A component that a reflection reverses is zero
// on the plane itself: that is what the wall forces.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vort {

enum class wall_kind { magnetic, electric };

// Where a plane lies in the table: at the last knot of its axis (the part stored below it),
// or at the first (the part stored above it, the upper half).
enum class plane_side { last_knot, first_knot };

// A plane by its normal axis: 0 (x) for the YZ plane, 1 (y) for XZ, 2 (z) for XY, and the end
// of the table's axis it lies at, when the user says so.
struct listed_plane {
  int normal = 0;
  wall_kind wall = wall_kind::magnetic;
  std::optional<plane_side> side = std::nullopt;
};

// The planes as the user lists them, each normal at most once.
using symmetry_list = std::vector<listed_plane>;

// A plane of the map, placed: its wall, and the end of the table's axis it lies at, given by
// the user or found from the table.
struct map_plane {
  wall_kind wall = wall_kind::magnetic;
  plane_side side = plane_side::last_knot;
  bool side_given = false;  // by the user: the table's positions do not decide it
};

// The planes a map is rebuilt about, by normal axis.
struct map_symmetry {
  std::array<std::optional<map_plane>, 3> planes;
};

// Every plane of the list, at the last knot of its axis.
map_symmetry symmetry_from_list(const symmetry_list& list);

// +1 where the reflection in the plane keeps field component `component` (0 x, 1 y, 2 z),
// -1 where it reverses it, for a polar (E) or an axial (B) field.
inline int parity(int component, int normal, wall_kind wall, bool axial) {
  int sign = component == normal ? -1 : 1;  // a polar field at a magnetic wall
  if (wall == wall_kind::electric) sign = -sign;
  return axial ? -sign : sign;
}

// "YZ", "XZ", "XY".
const char* plane_name(int normal);

// "yz", "xz", "xy": the plane as --symmetry names it.
const char* plane_option_name(int normal);

// "yz:magnetic,xz:electric:first": the list as --symmetry takes it.
std::string symmetry_text(const symmetry_list& list);

const char* wall_name(wall_kind wall);

}  // namespace vort
