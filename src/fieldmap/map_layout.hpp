// The symmetry expansion: which stored knot each knot of the written map shows, and whether
// it shows that knot's mirror image, along each axis. An axis normal to a symmetry plane has
// 2N - 1 map knots, the knot on the plane written once:
//   plane at the last knot (the part below it):   stored 1 .. N, then images N - 1 .. 1
//   plane at the first knot (the part above it):  images N .. 2, then stored 1 .. N
// so the whole axis runs from one end of the structure to the other. A knot that is an image
// across several planes carries the product of their parities.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"
#include "input/symmetry.hpp"

namespace vort {

struct axis_layout {
  std::vector<std::int32_t> stored;  // 0-based stored index of each map knot
  std::vector<std::uint8_t> image;   // 1 where the map knot is a mirror image
};

struct map_layout {
  std::array<axis_layout, 3> axes;
};

map_layout layout_of(grid_counts counts, const map_symmetry& symmetry);

// Which axes a map knot is a mirror image across, as bits: 1 for x, 2 for y, 4 for z.
using image_mask = unsigned;
inline constexpr int image_masks = 8;

// A run of map knots along an axis that shows consecutive stored knots, all images or none,
// from stored index `first` to `last` (0-based, inclusive, in either direction).
struct knot_run {
  std::int32_t first;
  std::int32_t last;
  bool image;
};

// The runs of an axis, in map order: one without a plane, two with one.
std::vector<knot_run> runs_of(const axis_layout& axis);

}  // namespace vort
