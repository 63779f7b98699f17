#include "input/symmetry.hpp"

namespace vort {

map_symmetry symmetry_from_list(const symmetry_list& list) {
  map_symmetry symmetry;
  for (const listed_plane& plane : list) {
    symmetry.planes[static_cast<std::size_t>(plane.normal)] =
        map_plane{plane.wall, plane.side.value_or(plane_side::last_knot), plane.side.has_value()};
  }
  return symmetry;
}

const char* plane_name(int normal) {
  static constexpr const char* names[3] = {"YZ", "XZ", "XY"};
  return names[normal];
}

const char* plane_option_name(int normal) {
  static constexpr const char* names[3] = {"yz", "xz", "xy"};
  return names[normal];
}

const char* wall_name(wall_kind wall) {
  return wall == wall_kind::magnetic ? "magnetic" : "electric";
}

std::string symmetry_text(const symmetry_list& list) {
  std::string text;
  for (const listed_plane& plane : list) {
    if (!text.empty()) text += ',';
    text += std::string(plane_option_name(plane.normal)) + ":" + wall_name(plane.wall);
    if (plane.side) text += *plane.side == plane_side::first_knot ? ":first" : ":last";
  }
  return text;
}

}  // namespace vort
