// The planes of the written map that the preview shows, taken from the record table: mirror
// images formed and every value times its file's factor, exactly as the six files hold them,
// and knots pooled into cells where an axis has more knots than the picture has room for.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"
#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/map_layout.hpp"
#include "input/record_table.hpp"

namespace vort {

// The map knots of one axis (0-based) as the table holds them: how far each lies past the
// table's first knot along this axis in a field's array, and which planes it is a mirror image
// across (this axis's bit of an image_mask, or 0).
struct map_axis {
  std::vector<std::int64_t> row_offset;
  std::vector<image_mask> images;
};

struct map_walk {
  map_axis x, y, z;
};

map_walk walk_map(const record_table& table, const map_symmetry& symmetry);

// How one axis of the map is drawn: cell c pools the knots cell_start[c] to
// cell_start[c + 1] - 1 and is `cell_px` pixels long.
struct axis_view {
  std::vector<std::int64_t> cell_start;
  int cell_px = 1;

  int cells() const { return static_cast<int>(cell_start.size()) - 1; }
  int pixels() const { return cells() * cell_px; }
  std::int64_t largest_block() const;
};

// The views of the x, y and z axes of a map: knots square while the longest axis fits the
// panel, short axes stretched to a readable length, long ones pooled to the room there is.
std::array<axis_view, 3> views_of_map(map_knots knots);

// One axis: `common_px` pixels a knot, unless it is too short or too long for that.
axis_view view_of_axis(std::int64_t knots, int common_px);

// A plane through the map: the axis drawn across, the one drawn down, and the fixed knot of
// the third axis (its offset and the planes it is an image across).
struct plane_cut {
  const map_axis* across;
  const map_axis* down;
  std::int64_t fixed_offset;
  image_mask fixed_images;
};

// A plane as drawn: one value per cell, row by row, each the value of largest magnitude
// (with its sign) among the knots the cell pools, so no peak is lost to the pooling.
struct preview_plane {
  int across = 0;
  int down = 0;
  std::vector<double> cells;
  double largest = 0;  // the largest magnitude in the plane
};

preview_plane sample_plane(const record_table& table, int field, file_factors factors,
                           const plane_cut& cut, const axis_view& across, const axis_view& down);

// For the x, y and z component, the z knot (1-based) of its largest magnitude over its real
// and imaginary parts; the first such knot on a tie, knot 1 for a component that is zero.
std::array<std::int32_t, 3> peak_z_knots(const record_table& table);

}  // namespace vort
