// The preview picture in memory and the few ways it is drawn on: flat rectangles, frames and
// text in the built-in font.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "preview/font.hpp"

namespace vort {

struct preview_image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

struct rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const rgb&, const rgb&) = default;
};

struct pixel_rect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Text is drawn at an integer scale: each glyph pixel is a square of `text_scale` pixels, and
// glyphs sit one blank column apart, lines two blank rows apart.
inline constexpr int text_scale = 2;
inline constexpr int text_advance = (glyph_width + 1) * text_scale;
inline constexpr int text_height = glyph_height * text_scale;
inline constexpr int line_height = (glyph_height + 2) * text_scale;

preview_image blank_image(int width, int height, rgb background);

// Offset of pixel (x, y) in `rgb`.
inline std::size_t pixel_offset(const preview_image& image, int x, int y) {
  return (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
          static_cast<std::size_t>(x)) *
         3;
}

inline std::uint8_t* pixel_at(preview_image& image, int x, int y) {
  return image.rgb.data() + pixel_offset(image, x, y);
}

inline rgb colour_at(const preview_image& image, int x, int y) {
  const std::uint8_t* p = image.rgb.data() + pixel_offset(image, x, y);
  return {p[0], p[1], p[2]};
}

// The parts of a rectangle that lie outside the image are left out.
void fill_rect(preview_image& image, pixel_rect area, rgb colour);

// A one-pixel line just outside `inner`.
void draw_frame(preview_image& image, pixel_rect inner, rgb colour);

int text_width(std::string_view text);

// `x`, `y`: the top left corner of the first glyph.
void draw_text(preview_image& image, int x, int y, std::string_view text, rgb colour);

}  // namespace vort
