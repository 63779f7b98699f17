#include "preview/plane.hpp"

#include <algorithm>
#include <cmath>

namespace vort {
namespace {

// The longest axis is drawn this long while its knots can be whole pixels of one size.
constexpr int panel_px = 240;
constexpr int max_knot_px = 32;
// A panel side is never shorter, however few its knots: a 3 x 1 grid must show three cells,
// not a three-pixel smear.
constexpr int min_axis_px = 64;
// Beyond this an axis is pooled: four panels side by side then stay within about 2000 pixels.
constexpr int max_axis_px = 400;

// The offset of each map knot's stored knot along the axis, in rows, and its image bit.
template <typename row_offset_of>
map_axis walk_axis(const axis_layout& layout, image_mask bit, row_offset_of offset) {
  map_axis axis;
  for (std::size_t p = 0; p < layout.stored.size(); ++p) {
    axis.row_offset.push_back(offset(layout.stored[p] + 1));
    axis.images.push_back(layout.image[p] != 0 ? bit : 0u);
  }
  return axis;
}

// How many cells of at most `block` knots an axis needs: an odd axis needs an odd count, for
// a middle cell that the partition below can centre.
std::int64_t cells_for(std::int64_t knots, std::int64_t block) {
  const std::int64_t cells = (knots + block - 1) / block;
  return knots % 2 == 1 && cells % 2 == 0 ? cells + 1 : cells;
}

// Cells of near-equal size (differing by one knot at most) laid symmetrically about the middle
// of the axis, so a map that is symmetric about its middle, as a mirrored one is, stays
// symmetric when pooled.
std::vector<std::int64_t> centred_cells(std::int64_t knots, std::int64_t cells) {
  const std::int64_t base = knots / cells, extra = knots % cells;
  const std::int64_t half = cells / 2, pairs = extra / 2;
  std::vector<std::int64_t> size(static_cast<std::size_t>(cells), base);
  for (std::int64_t c = 0; c < half; ++c) {
    const std::int64_t wider = (c + 1) * pairs / half - c * pairs / half;
    size[static_cast<std::size_t>(c)] += wider;
    size[static_cast<std::size_t>(cells - 1 - c)] += wider;
  }
  if (cells % 2 == 1) size[static_cast<std::size_t>(half)] += extra % 2;
  std::vector<std::int64_t> start(1, 0);
  for (const std::int64_t s : size) start.push_back(start.back() + s);
  return start;
}

std::vector<std::int64_t> single_knot_cells(std::int64_t knots) {
  std::vector<std::int64_t> start(static_cast<std::size_t>(knots) + 1);
  for (std::size_t n = 0; n < start.size(); ++n) start[n] = static_cast<std::int64_t>(n);
  return start;
}

// The knots of one map line that fall in the cells of `out`, pooled into them.
struct knot_line {
  const double* first;  // the field's value at the line's first knot, before the across offset
  image_mask images;    // the planes the whole line is an image across
};

void pool_line(const knot_line& line, const map_axis& across, const axis_view& view,
               file_factors factors, double* out) {
  for (int c = 0; c < view.cells(); ++c) {
    double& cell = out[c];
    for (std::int64_t a = view.cell_start[static_cast<std::size_t>(c)];
         a < view.cell_start[static_cast<std::size_t>(c) + 1]; ++a) {
      const auto n = static_cast<std::size_t>(a);
      const double factor = factors.by_images[line.images | across.images[n]];
      const double value = line.first[across.row_offset[n]] * factor;
      if (std::fabs(value) > std::fabs(cell)) cell = value;
    }
  }
}

}  // namespace

map_walk walk_map(const record_table& table, const map_symmetry& symmetry) {
  const std::int64_t first = values_index(table, 1, 1, 1);
  const map_layout layout = layout_of(table.counts, symmetry);
  return {walk_axis(layout.axes[0], 1u,
                    [&](std::int32_t i) { return values_index(table, i, 1, 1) - first; }),
          walk_axis(layout.axes[1], 2u,
                    [&](std::int32_t j) { return values_index(table, 1, j, 1) - first; }),
          walk_axis(layout.axes[2], 4u,
                    [&](std::int32_t k) { return values_index(table, 1, 1, k) - first; })};
}

std::int64_t axis_view::largest_block() const {
  std::int64_t largest = 0;
  for (std::size_t c = 1; c < cell_start.size(); ++c) {
    largest = std::max(largest, cell_start[c] - cell_start[c - 1]);
  }
  return largest;
}

axis_view view_of_axis(std::int64_t knots, int common_px) {
  if (knots * common_px > max_axis_px) {
    std::int64_t block = (knots + max_axis_px - 1) / max_axis_px;
    while (cells_for(knots, block) > max_axis_px) ++block;
    return {centred_cells(knots, cells_for(knots, block)), 1};
  }
  const auto stretched = static_cast<int>((min_axis_px + knots - 1) / knots);
  return {single_knot_cells(knots), std::max(common_px, stretched)};
}

std::array<axis_view, 3> views_of_map(map_knots knots) {
  const std::int64_t longest = std::max({knots[0], knots[1], knots[2]});
  const auto common_px =
      static_cast<int>(std::clamp<std::int64_t>(panel_px / longest, 1, max_knot_px));
  return {view_of_axis(knots[0], common_px), view_of_axis(knots[1], common_px),
          view_of_axis(knots[2], common_px)};
}

preview_plane sample_plane(const record_table& table, int field, file_factors factors,
                           const plane_cut& cut, const axis_view& across, const axis_view& down) {
  preview_plane plane{across.cells(), down.cells(), {}, 0};
  plane.cells.assign(static_cast<std::size_t>(plane.across) * static_cast<std::size_t>(plane.down),
                     0.0);
  const double* first = field_array(table, field) + values_index(table, 1, 1, 1);
  for (int c = 0; c < plane.down; ++c) {
    double* out = plane.cells.data() + static_cast<std::ptrdiff_t>(c) * plane.across;
    for (std::int64_t b = down.cell_start[static_cast<std::size_t>(c)];
         b < down.cell_start[static_cast<std::size_t>(c) + 1]; ++b) {
      const auto n = static_cast<std::size_t>(b);
      const knot_line line{first + cut.fixed_offset + cut.down->row_offset[n],
                           cut.fixed_images | cut.down->images[n]};
      pool_line(line, *cut.across, across, factors, out);
    }
  }
  for (const double v : plane.cells) plane.largest = std::max(plane.largest, std::fabs(v));
  return plane;
}

std::array<std::int32_t, 3> peak_z_knots(const record_table& table) {
  std::array<double, 3> largest{};
  std::array<std::int32_t, 3> peak{1, 1, 1};
  const std::int64_t plane = std::int64_t{table.counts.nx} * table.counts.ny;
  // Component c's real and imaginary parts are fields 2c and 2c + 1; each z plane is one run
  // of every field's array.
  for (std::size_t c = 0; c < 3; ++c) {
    const double* real = field_array(table, static_cast<int>(2 * c));
    const double* imaginary = field_array(table, static_cast<int>(2 * c + 1));
    for (std::int32_t k = 1; k <= table.counts.nz; ++k, real += plane, imaginary += plane) {
      for (std::int64_t n = 0; n < plane; ++n) {
        const double magnitude = std::max(std::fabs(real[n]), std::fabs(imaginary[n]));
        if (magnitude > largest[c]) {
          largest[c] = magnitude;
          peak[c] = k;
        }
      }
    }
  }
  return peak;
}

}  // namespace vort
