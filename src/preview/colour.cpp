#include "preview/colour.hpp"

#include <array>
#include <cmath>

namespace vort {
namespace {

// Steps from zero to either end of the scale.
constexpr int levels = 255;

struct colour_stop {
  double at;  // 0 to 1 along one side of the scale
  rgb colour;
};

// The depth grows with the magnitude, so a weak field stays pale and a peak stands out dark
// against its surroundings even where the hue alone would not separate them.
constexpr std::array<colour_stop, 5> positive_stops{{{0.0, zero_colour},
                                                     {0.25, {252, 204, 178}},
                                                     {0.5, {242, 132, 98}},
                                                     {0.75, {206, 46, 42}},
                                                     {1.0, {122, 0, 22}}}};
constexpr std::array<colour_stop, 5> negative_stops{{{0.0, zero_colour},
                                                     {0.25, {196, 220, 242}},
                                                     {0.5, {112, 168, 222}},
                                                     {0.75, {40, 102, 186}},
                                                     {1.0, {8, 36, 112}}}};

constexpr std::uint8_t blend(std::uint8_t from, std::uint8_t to, double t) {
  return static_cast<std::uint8_t>(from + (to - from) * t + 0.5);
}

constexpr rgb colour_along(const std::array<colour_stop, 5>& stops, double t) {
  std::size_t s = 1;
  while (s + 1 < stops.size() && stops[s].at < t) ++s;
  const colour_stop& low = stops[s - 1];
  const colour_stop& high = stops[s];
  const double u = (t - low.at) / (high.at - low.at);
  return {blend(low.colour.r, high.colour.r, u), blend(low.colour.g, high.colour.g, u),
          blend(low.colour.b, high.colour.b, u)};
}

// Entry levels + n is the colour of n / levels of the scale, n from -levels to levels.
constexpr std::array<rgb, 2 * levels + 1> palette = [] {
  std::array<rgb, 2 * levels + 1> colours{};
  for (int n = 0; n <= levels; ++n) {
    const double t = static_cast<double>(n) / levels;
    colours[static_cast<std::size_t>(levels + n)] = colour_along(positive_stops, t);
    colours[static_cast<std::size_t>(levels - n)] = colour_along(negative_stops, t);
  }
  return colours;
}();

}  // namespace

rgb colour_of(double value, double scale) {
  if (!(scale > 0)) return zero_colour;
  double level = value / scale * levels;
  // Only a value beyond the scale, or not a number, takes this branch: it stays predictable.
  if (!(std::fabs(level) <= levels)) level = level > 0 ? levels : level < 0 ? -levels : 0;
  // Rounding half to even treats +v and -v alike, so their colours mirror each other.
  return palette[static_cast<std::size_t>(levels + std::lrint(level))];
}

}  // namespace vort
