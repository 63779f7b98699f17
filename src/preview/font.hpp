// The preview's own bitmap font: printable ASCII in 5 x 7 glyphs with a row below for the
// descenders of g, j, p, q and y (a "y" that reads as a "v" would name the wrong axis), so the
// picture needs no font installed and its labels look the same everywhere.
#pragma once

#include <array>
#include <cstdint>

namespace vort {

inline constexpr int glyph_width = 5;
inline constexpr int glyph_height = 8;

// Row 0 is the top row; bit 4 of a row is its leftmost pixel.
using glyph = std::array<std::uint8_t, glyph_height>;

// The glyph of a printable ASCII character; anything else is drawn as '?', so a label never
// loses a character without a trace.
const glyph& glyph_of(char c);

}  // namespace vort
