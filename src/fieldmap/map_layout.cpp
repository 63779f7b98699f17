#include "fieldmap/map_layout.hpp"

namespace vort {
namespace {

axis_layout layout_of_axis(std::int32_t knots, const std::optional<map_plane>& plane) {
  axis_layout axis;
  const auto add = [&](std::int32_t stored, bool image) {
    axis.stored.push_back(stored);
    axis.image.push_back(image ? 1 : 0);
  };
  if (plane && plane->side == plane_side::first_knot) {
    for (std::int32_t n = knots - 1; n >= 1; --n) add(n, true);
  }
  for (std::int32_t n = 0; n < knots; ++n) add(n, false);
  if (plane && plane->side == plane_side::last_knot) {
    for (std::int32_t n = knots - 2; n >= 0; --n) add(n, true);
  }
  return axis;
}

}  // namespace

map_layout layout_of(grid_counts counts, const map_symmetry& symmetry) {
  map_layout layout;
  for (int a = 0; a < 3; ++a) {
    layout.axes[static_cast<std::size_t>(a)] =
        layout_of_axis(count_along(counts, a), symmetry.planes[static_cast<std::size_t>(a)]);
  }
  return layout;
}

std::vector<knot_run> runs_of(const axis_layout& axis) {
  std::vector<knot_run> runs;
  for (std::size_t p = 0; p < axis.stored.size(); ++p) {
    const std::int32_t stored = axis.stored[p];
    const bool image = axis.image[p] != 0;
    if (!runs.empty() && runs.back().image == image) {
      runs.back().last = stored;
    } else {
      runs.push_back({stored, stored, image});
    }
  }
  return runs;
}

}  // namespace vort
