#include "preview/layout.hpp"

#include <algorithm>

namespace vort {
namespace {

constexpr int margin = 12;
constexpr int column_gap = 28;
constexpr int pair_gap = 40;  // sets the transverse pair apart from the longitudinal one
constexpr int row_gap = 24;
constexpr int frame_px = 1;
constexpr int bar_width = 18;
constexpr int bar_label_gap = 6;
// Room for the three labels beside the bar (top, zero, bottom).
constexpr int min_bar_height = 5 * line_height;

// Column widths: each holds its panel and frame and its labels; the second column of a pair
// widens when the pair's caption would not fit over both.
std::array<int, panel_slots> column_widths(const layout_needs& needs) {
  const std::array<int, panel_slots> panel{needs.transverse_width, needs.transverse_width,
                                           needs.longitudinal_width, needs.longitudinal_width};
  std::array<int, panel_slots> width{};
  for (std::size_t p = 0; p < panel_slots; ++p) {
    width[p] = std::max(panel[p] + 2 * frame_px, needs.label_width[p]);
  }
  for (std::size_t pair = 0; pair < 2; ++pair) {
    const int span = width[2 * pair] + column_gap + width[2 * pair + 1];
    width[2 * pair + 1] += std::max(0, needs.caption_width[pair] - span);
  }
  return width;
}

// One component row from `top` down; returns where the next row starts.
int lay_out_row(const layout_needs& needs, const preview_layout& layout, int bar_x, int top,
                component_row& row) {
  row.title_y = top;
  const int panel_y = top + 2 * line_height + frame_px;
  const std::array<pixel_rect, panel_slots> sizes{
      pixel_rect{0, 0, needs.transverse_width, needs.transverse_height},
      pixel_rect{0, 0, needs.transverse_width, needs.transverse_height},
      pixel_rect{0, 0, needs.longitudinal_width, needs.longitudinal_height},
      pixel_rect{0, 0, needs.longitudinal_width, needs.longitudinal_height}};
  for (std::size_t p = 0; p < panel_slots; ++p) {
    row.panels[p] = {layout.column_x[p] + frame_px, panel_y, sizes[p].width, sizes[p].height};
  }
  const int area_height =
      std::max({needs.transverse_height, needs.longitudinal_height, min_bar_height});
  // An odd height, so that one row of the bar is zero, white, beside its "0" label.
  row.bar = {bar_x + frame_px, panel_y, bar_width, area_height - 1 + area_height % 2};
  row.bar_label_x = bar_x + bar_width + 2 * frame_px + bar_label_gap;
  return panel_y + area_height + frame_px + row_gap;
}

}  // namespace

preview_layout lay_out_preview(const layout_needs& needs) {
  preview_layout layout;
  layout.header_y = margin;
  layout.caption_y = layout.header_y + header_lines * line_height + line_height / 2;
  const std::array<int, panel_slots> width = column_widths(needs);
  int x = margin;
  for (std::size_t p = 0; p < panel_slots; ++p) {
    layout.column_x[p] = x;
    x += width[p] + (p == im_transverse ? pair_gap : column_gap);
  }
  int y = layout.caption_y + line_height + line_height / 2;
  for (component_row& row : layout.rows) y = lay_out_row(needs, layout, x, y, row);
  const int right = layout.rows[0].bar_label_x + needs.bar_label_width + margin;
  layout.width = std::max({right, needs.header_width + 2 * margin, min_image_px});
  layout.height = std::max(y - row_gap + margin, min_image_px);
  return layout;
}

}  // namespace vort
