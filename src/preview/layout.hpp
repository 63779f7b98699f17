// Where everything lies in the preview: a header, then one row per field component with its
// four panels side by side (real and imaginary part in the transverse plane, then in the
// longitudinal plane) and the component's colour bar at the right end.
//
//   header                                           (grid, mirror, pooling)
//   header                                           (extent of each axis)
//   transverse: x right, y down    longitudinal: z right, x down
//   Re Bx z = ..   Im Bx z = ..    Re Bx y = ..   Im Bx y = ..      Bx
//   max ..         max ..          max ..         max ..
//   +--------+     +--------+      +-----+        +-----+        |#| +1.2e-03
//   |        |     |        |      |     |        |     |        | | 0
//   +--------+     +--------+      +-----+        +-----+        |#| -1.2e-03
//   (the rows of By and Bz alike)
#pragma once

#include <array>
#include <cstddef>

#include "preview/canvas.hpp"

namespace vort {

// Panels of a component row, left to right.
enum panel_slot { re_transverse, im_transverse, re_longitudinal, im_longitudinal };
inline constexpr int panel_slots = 4;

inline bool is_real(std::size_t slot) {
  return slot == re_transverse || slot == re_longitudinal;
}
inline bool is_transverse(std::size_t slot) {
  return slot == re_transverse || slot == im_transverse;
}

struct component_row {
  int title_y = 0;                               // the first of two label lines
  std::array<pixel_rect, panel_slots> panels{};  // the field cells, inside their frames
  pixel_rect bar{};                              // the colour bar, inside its frame
  int bar_label_x = 0;
};

struct preview_layout {
  int width = 0;
  int height = 0;
  int header_y = 0;  // the first of `header_lines`
  int caption_y = 0;
  std::array<int, panel_slots> column_x{};  // where each column's labels start
  std::array<component_row, 3> rows{};
};

// What the layout must make room for.
struct layout_needs {
  int transverse_width = 0, transverse_height = 0;  // panel pixels
  int longitudinal_width = 0, longitudinal_height = 0;
  std::array<int, panel_slots> label_width{};  // the widest label of each column
  std::array<int, 2> caption_width{};          // above the transverse and longitudinal pairs
  int bar_label_width = 0;
  int header_width = 0;  // of the widest header line
};

inline constexpr int header_lines = 2;

// The picture is at least 200 pixels each way, however small the grid.
inline constexpr int min_image_px = 200;

preview_layout lay_out_preview(const layout_needs& needs);

}  // namespace vort
