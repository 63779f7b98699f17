#include "preview/axis_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vort {
namespace {

constexpr rgb ground{232, 232, 232};
constexpr rgb paper{255, 255, 255};
constexpr rgb ink{20, 20, 20};
constexpr rgb frame_colour{96, 96, 96};
constexpr rgb zero_line{190, 190, 190};
constexpr rgb real_colour{200, 40, 40};
constexpr rgb imaginary_colour{40, 80, 200};
constexpr int margin = 16;

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The three curves, each at every z knot.
struct curves {
  std::vector<double> magnitude, real, imaginary;
  double largest = 0;
};

curves curves_of(const axis_profile& profile, bool axial) {
  curves out;
  const auto& p = profile.parts;
  for (std::size_t n = 0; n < profile.z.size(); ++n) {
    const double z = std::hypot(p[4][n], p[5][n]);
    const double magnitude =
        axial ? std::hypot(std::hypot(p[0][n], p[1][n]), std::hypot(p[2][n], p[3][n]), z) : z;
    out.magnitude.push_back(magnitude);
    out.real.push_back(p[4][n]);
    out.imaginary.push_back(p[5][n]);
    if (std::isfinite(magnitude)) out.largest = std::max(out.largest, magnitude);
  }
  return out;
}

// A curve through the knots, drawn knot to knot as straight pieces; knots are spread evenly
// across the plot, as the panels above draw them.
void draw_curve(preview_image& image, const pixel_rect& plot, const std::vector<double>& values,
                double largest, rgb colour) {
  const std::size_t knots = values.size();
  const auto x_of = [&](std::size_t n) {
    return knots > 1 ? plot.x + static_cast<double>(n) * (plot.width - 1) / (knots - 1)
                     : plot.x + plot.width / 2.0;
  };
  const auto y_of = [&](double value) {
    // A tenth of the height left free above and below, so no curve runs along the frame.
    const double share = largest > 0 && std::isfinite(value) ? 0.9 * value / largest : 0;
    return plot.y + (plot.height - 1) * (1 - share) / 2;
  };
  for (std::size_t n = 0; n < knots; ++n) {
    const std::size_t from = n == 0 ? 0 : n - 1;
    const double x0 = x_of(from), x1 = x_of(n);
    const double y0 = y_of(values[from]), y1 = y_of(values[n]);
    const int steps = static_cast<int>(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int s = 0; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      const int x = static_cast<int>(std::lround(x0 + t * (x1 - x0)));
      const int y = static_cast<int>(std::lround(y0 + t * (y1 - y0)));
      fill_rect(image, {x, y, 2, 2}, colour);
    }
  }
}

}  // namespace

preview_image with_axis_plot(const preview_image& picture, const axis_profile& profile,
                             const field_kind& kind) {
  preview_image image = blank_image(picture.width, picture.height + axis_plot_px, ground);
  std::copy(picture.rgb.begin(), picture.rgb.end(), image.rgb.begin());
  const char letter = kind.axial ? 'B' : 'E';
  const curves drawn = curves_of(profile, kind.axial);
  const std::string magnitude = kind.axial ? std::string("|B|") : std::string("|") + letter + "z|";
  const std::string re = std::string("Re ") + letter + "z";
  const std::string im = std::string("Im ") + letter + "z";
  int y = picture.height + 4;
  const std::string title = "on the axis x = " + formatted("%.4g", profile.x) +
                            " m, y = " + formatted("%.4g", profile.y) + " m: " + magnitude + ", " +
                            re + ", " + im + " along z   max " + formatted("%.2e", drawn.largest);
  draw_text(image, margin, y, title, ink);
  y += line_height;
  const int key_x = margin;
  const std::pair<std::string, rgb> keys[] = {
      {magnitude, ink}, {re, real_colour}, {im, imaginary_colour}};
  int x = key_x;
  for (const auto& [name, colour] : keys) {
    fill_rect(image, {x, y + text_height / 2 - 1, 16, 3}, colour);
    draw_text(image, x + 20, y, name, ink);
    x += 20 + text_width(name) + 24;
  }
  y += line_height + 4;
  const pixel_rect plot{margin, y, picture.width - 2 * margin,
                        picture.height + axis_plot_px - y - line_height - 6};
  fill_rect(image, plot, paper);
  draw_frame(image, plot, frame_colour);
  fill_rect(image, {plot.x, plot.y + (plot.height - 1) / 2, plot.width, 1}, zero_line);
  if (drawn.largest > 0) {
    // The parts over the magnitude: where a part is the whole field, its colour shows.
    draw_curve(image, plot, drawn.magnitude, drawn.largest, ink);
    draw_curve(image, plot, drawn.real, drawn.largest, real_colour);
    draw_curve(image, plot, drawn.imaginary, drawn.largest, imaginary_colour);
  }
  if (!profile.z.empty()) {
    const int label_y = plot.y + plot.height + 4;
    draw_text(image, plot.x, label_y, "z = " + formatted("%.4g", profile.z.front()) + " m", ink);
    const std::string last = "z = " + formatted("%.4g", profile.z.back()) + " m";
    draw_text(image, plot.x + plot.width - text_width(last), label_y, last, ink);
  }
  return image;
}

}  // namespace vort
