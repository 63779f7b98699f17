#include "preview/canvas.hpp"

#include <algorithm>

#include "preview/font.hpp"

namespace vort {

preview_image blank_image(int width, int height, rgb background) {
  preview_image image{width, height, {}};
  image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  fill_rect(image, {0, 0, width, height}, background);
  return image;
}

void fill_rect(preview_image& image, pixel_rect area, rgb colour) {
  const int x0 = std::max(area.x, 0), x1 = std::min(area.x + area.width, image.width);
  const int y0 = std::max(area.y, 0), y1 = std::min(area.y + area.height, image.height);
  if (x0 >= x1 || y0 >= y1) return;
  std::uint8_t* first = pixel_at(image, x0, y0);
  for (int x = x0; x < x1; ++x) {
    std::uint8_t* p = first + (x - x0) * 3;
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
  }
  // The other rows are copies of the first.
  const auto row_bytes = static_cast<std::size_t>(x1 - x0) * 3;
  for (int y = y0 + 1; y < y1; ++y) std::copy_n(first, row_bytes, pixel_at(image, x0, y));
}

void draw_frame(preview_image& image, pixel_rect inner, rgb colour) {
  const int outer_width = inner.width + 2;
  fill_rect(image, {inner.x - 1, inner.y - 1, outer_width, 1}, colour);
  fill_rect(image, {inner.x - 1, inner.y + inner.height, outer_width, 1}, colour);
  fill_rect(image, {inner.x - 1, inner.y, 1, inner.height}, colour);
  fill_rect(image, {inner.x + inner.width, inner.y, 1, inner.height}, colour);
}

int text_width(std::string_view text) {
  if (text.empty()) return 0;
  return static_cast<int>(text.size()) * text_advance - text_scale;
}

void draw_text(preview_image& image, int x, int y, std::string_view text, rgb colour) {
  for (const char c : text) {
    const glyph& rows = glyph_of(c);
    for (int row = 0; row < glyph_height; ++row) {
      for (int column = 0; column < glyph_width; ++column) {
        if ((rows[static_cast<std::size_t>(row)] >> (glyph_width - 1 - column) & 1) == 0) continue;
        fill_rect(image, {x + column * text_scale, y + row * text_scale, text_scale, text_scale},
                  colour);
      }
    }
    x += text_advance;
  }
}

}  // namespace vort
