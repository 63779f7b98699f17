#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "decoded_png.hpp"
#include "failure_of.hpp"
#include "fieldmap/map_axes.hpp"
#include "input/record_table.hpp"
#include "preview/colour.hpp"
#include "preview/font.hpp"
#include "preview/picture.hpp"
#include "preview/plane.hpp"
#include "preview/png.hpp"

namespace vort {
namespace {

// Field f (0-based: Re x, Im x, Re y, Im y, Re z, Im z) at knot (i, j, k), all 1-based.
using field_function = std::function<double(int f, int i, int j, int k)>;

record_table table_of(grid_counts counts, const field_function& value) {
  record_table table = allocate_record_table(counts);
  for (int i = 1; i <= counts.nx; ++i) {
    for (int j = 1; j <= counts.ny; ++j) {
      for (int k = 1; k <= counts.nz; ++k) {
        for (int f = 0; f < field_values; ++f) {
          field_array(table, f)[values_index(table, i, j, k)] = value(f, i, j, k);
        }
      }
    }
  }
  return table;
}

const map_symmetry yz_mirror = symmetry_from_list({{0, wall_kind::magnetic}});
const map_symmetry xz_mirror = symmetry_from_list({{1, wall_kind::magnetic}});

drawn_preview draw(const record_table& table, char flag, const map_symmetry& symmetry) {
  const mesh_data mesh{{-0.1f, -0.1f, 0}, {0, 0, 0}, {0.01f, 0.01f, 0.02f}};
  return draw_preview(table, select_field_kind(flag), symmetry,
                      build_map_axes(table.counts, mesh, symmetry));
}

const pixel_rect& panel(const drawn_preview& d, std::size_t component, panel_slot slot) {
  return d.layout.rows[component].panels[slot];
}

// Every distinct colour of a panel.
std::set<std::tuple<int, int, int>> colours_in(const preview_image& image, const pixel_rect& area) {
  std::set<std::tuple<int, int, int>> colours;
  for (int y = area.y; y < area.y + area.height; ++y) {
    for (int x = area.x; x < area.x + area.width; ++x) {
      const rgb c = colour_at(image, x, y);
      colours.insert({c.r, c.g, c.b});
    }
  }
  return colours;
}

bool shows(const preview_image& image, const pixel_rect& area, rgb colour) {
  return colours_in(image, area).count({colour.r, colour.g, colour.b}) == 1;
}

bool all_white(const preview_image& image, const pixel_rect& area) {
  const auto colours = colours_in(image, area);
  return colours.size() == 1 && shows(image, area, zero_colour);
}

TEST(PreviewFont, GlyphsAreDistinctAndInPlace) {
  std::set<glyph> seen;
  for (char c = '!'; c <= '~'; ++c) {
    const glyph& g = glyph_of(c);
    EXPECT_TRUE(seen.insert(g).second) << "glyph of '" << c << "' repeats another";
    for (const std::uint8_t row : g) EXPECT_LT(row, 1 << glyph_width) << c;
  }
  // Shapes whose rows are known: a table shifted by one character would fail here.
  EXPECT_EQ(glyph_of('-'), (glyph{0, 0, 0, 0b11111, 0, 0, 0, 0}));
  EXPECT_EQ(glyph_of('='), (glyph{0, 0, 0b11111, 0, 0b11111, 0, 0, 0}));
  EXPECT_EQ(glyph_of(' '), glyph{});
  EXPECT_EQ(glyph_of('\t'), glyph_of('?'));
}

TEST(PreviewColour, WhiteAtZeroDeepestAtTheEnds) {
  EXPECT_EQ(colour_of(0.0, 2.0), zero_colour);
  EXPECT_EQ(colour_of(-0.0, 2.0), zero_colour);
  for (const double value : {0.0, 1.0, -1e300}) EXPECT_EQ(colour_of(value, 0.0), zero_colour);
  const rgb red = colour_of(2.0, 2.0), blue = colour_of(-2.0, 2.0);
  EXPECT_GT(red.r, 2 * red.b);
  EXPECT_GT(blue.b, 2 * blue.r);
  EXPECT_EQ(colour_of(5.0, 2.0), red);
  EXPECT_EQ(colour_of(-5.0, 2.0), blue);
  // Each side darkens steadily from white towards its end.
  for (const double sign : {1.0, -1.0}) {
    int previous = 3 * 255 + 1;
    for (int n = 0; n <= 100; ++n) {
      const rgb c = colour_of(sign * n / 100.0, 1.0);
      const int brightness = c.r + c.g + c.b;
      EXPECT_LT(brightness, previous) << sign * n;
      previous = brightness;
    }
  }
}

TEST(PreviewSize, ReadableAndBoundedForAnyGrid) {
  struct size_case {
    grid_counts counts;
    map_symmetry symmetry;
  };
  for (const size_case& c : std::vector<size_case>{{{1, 1, 1}, map_symmetry{}},
                                                   {{3, 1, 2}, map_symmetry{}},
                                                   {{11, 21, 11}, yz_mirror},
                                                   {{3000, 2, 2}, map_symmetry{}},
                                                   {{2, 1600, 2}, xz_mirror},
                                                   {{2, 2, 5000}, map_symmetry{}}}) {
    const std::string name = std::to_string(c.counts.nx) + "x" + std::to_string(c.counts.ny) + "x" +
                             std::to_string(c.counts.nz);
    const drawn_preview d =
        draw(table_of(c.counts, [](int, int, int, int) { return 1.0; }), 'E', c.symmetry);
    const preview_image& image = d.image;
    EXPECT_GE(image.width, min_image_px) << name;
    EXPECT_GE(image.height, min_image_px) << name;
    EXPECT_LE(image.width, 2100) << name;
    EXPECT_LE(image.height, 2100) << name;
    EXPECT_EQ(image.rgb.size(), std::size_t(image.width) * std::size_t(image.height) * 3) << name;
    for (const component_row& row : d.layout.rows) {
      for (const pixel_rect& p : row.panels) {
        EXPECT_GE(std::min(p.width, p.height), 64) << name;  // never a smear of a few pixels
        EXPECT_LE(std::max(p.width, p.height), 400) << name;
        EXPECT_LE(p.x + p.width, image.width) << name;
        EXPECT_LE(p.y + p.height, image.height) << name;
      }
    }
  }
}

// Only the x component has a field; with flag B its zero real parts become -0 in the files.
TEST(PreviewZero, ComponentWithoutFieldIsAllWhite) {
  const record_table table = table_of(
      {5, 4, 3}, [](int f, int i, int j, int k) { return f < 2 ? (f + 1) * (i - j + k) : 0.0; });
  for (const char flag : {'E', 'B'}) {
    const drawn_preview d = draw(table, flag, yz_mirror);
    for (const panel_slot slot : {re_transverse, im_transverse, re_longitudinal, im_longitudinal}) {
      EXPECT_FALSE(all_white(d.image, panel(d, 0, slot))) << flag << slot;
      EXPECT_TRUE(all_white(d.image, panel(d, 1, slot))) << flag << slot;
      EXPECT_TRUE(all_white(d.image, panel(d, 2, slot))) << flag << slot;
    }
    EXPECT_TRUE(all_white(d.image, d.layout.rows[2].bar)) << flag;
  }
}

// The scale's ends and its white middle, in the bar and in the panels holding the extremes.
TEST(PreviewScale, EndsAtTheComponentsLargestMagnitude) {
  const record_table table = table_of({4, 3, 2}, [](int f, int i, int j, int k) {
    if (f == 0 && i == 2 && j == 2 && k == 1) return 3.0;
    if (f == 1 && i == 3 && j == 2 && k == 2) return -6.0;  // Im part sets the scale
    return f == 0 ? 0.5 : 0.0;
  });
  const drawn_preview d = draw(table, 'E', map_symmetry{});
  const pixel_rect& bar = d.layout.rows[0].bar;
  EXPECT_EQ(colour_at(d.image, bar.x, bar.y), colour_of(1.0, 1.0));
  EXPECT_EQ(colour_at(d.image, bar.x, bar.y + bar.height - 1), colour_of(-1.0, 1.0));
  EXPECT_EQ(colour_at(d.image, bar.x, bar.y + bar.height / 2), zero_colour);
  // The transverse plane lies at z knot 2, where the component peaks: the Im panel holds the
  // blue end, the Re panel only the background, on the shared scale (not at the red end of
  // a scale of its own). The longitudinal Re panel passes through the +3, half way up.
  EXPECT_TRUE(shows(d.image, panel(d, 0, im_transverse), colour_of(-1.0, 1.0)));
  EXPECT_EQ(colours_in(d.image, panel(d, 0, re_transverse)).size(), 1u);
  EXPECT_TRUE(shows(d.image, panel(d, 0, re_transverse), colour_of(0.5 / 6, 1.0)));
  EXPECT_TRUE(shows(d.image, panel(d, 0, re_longitudinal), colour_of(0.5, 1.0)));
}

TEST(PreviewPeak, LargestMagnitudeOverBothParts) {
  const record_table table = table_of({2, 2, 5}, [](int f, int i, int j, int k) {
    if (i != 2 || j != 1) return 0.0;
    if (f == 0) return k == 3 ? 2.0 : 0.0;
    if (f == 1) return k == 4 ? -3.0 : 0.0;           // the imaginary part's larger negative value
    if (f == 2) return k == 2 || k == 5 ? 5.0 : 0.0;  // a tie: the first
    return 0.0;
  });
  EXPECT_EQ(peak_z_knots(table), (std::array<std::int32_t, 3>{4, 2, 1}));
}

// The transverse panels cut the map where the table's peak lies, on either side of an XY plane:
// with the plane at the first z knot the images come first, and the map knot is not the
// table's.
TEST(PreviewPeak, TransversePanelCutsThePeakOnEitherSideOfAnXyPlane) {
  const record_table table =
      table_of({3, 3, 3}, [](int f, int, int, int k) { return f == 0 && k == 3 ? 1.0 : 0.0; });
  for (const plane_side side : {plane_side::last_knot, plane_side::first_knot}) {
    map_symmetry symmetry;
    symmetry.planes[2] = map_plane{wall_kind::electric, side, true};
    const drawn_preview d = draw(table, 'E', symmetry);
    EXPECT_TRUE(shows(d.image, panel(d, 0, re_transverse), colour_of(1.0, 1.0)))
        << (side == plane_side::first_knot ? "first" : "last");
  }
}

// A half table, mirrored: every component is even across the plane but those that the plane
// and flag turn (E's normal one, B's tangential ones at a magnetic wall), which must show the
// opposite colour at the mirrored pixel.
TEST(PreviewMirror, MapSymmetricUnderTheMirrorRendersSymmetric) {
  struct mirror_case {
    map_symmetry symmetry;
    char flag;
    std::vector<std::size_t> odd;  // the components whose image turns sign
  };
  std::map<std::tuple<int, int, int>, int> level_of;  // colour -> signed level of the scale
  for (int n = -255; n <= 255; ++n) {
    const rgb c = colour_of(n / 255.0, 1.0);
    level_of[{c.r, c.g, c.b}] = n;
  }
  for (const mirror_case& c : std::vector<mirror_case>{{yz_mirror, 'E', {0}},
                                                       {yz_mirror, 'B', {1, 2}},
                                                       {xz_mirror, 'E', {1}},
                                                       {xz_mirror, 'B', {0, 2}}}) {
    const bool yz = c.symmetry.planes[0].has_value();
    const auto is_odd = [&](std::size_t component) {
      return std::find(c.odd.begin(), c.odd.end(), component) != c.odd.end();
    };
    const grid_counts counts = yz ? grid_counts{4, 3, 3} : grid_counts{3, 4, 3};
    // On the plane the turning component vanishes, as a field that obeys the mirror does.
    const record_table table = table_of(counts, [&](int f, int i, int j, int k) {
      const bool on_plane = yz ? i == counts.nx : j == counts.ny;
      if (on_plane && is_odd(static_cast<std::size_t>(f / 2))) return 0.0;
      return std::sin(1.0 + f + 0.7 * i + 1.3 * j + 0.4 * k);
    });
    const drawn_preview d = draw(table, c.flag, c.symmetry);
    for (std::size_t component = 0; component < 3; ++component) {
      // YZ: x runs across the transverse panels and down the longitudinal ones; XZ: y runs
      // down the transverse ones and the longitudinal ones lie in the plane.
      const std::vector<std::pair<panel_slot, bool>> mirrored =
          yz ? std::vector<std::pair<panel_slot, bool>>{{re_transverse, true},
                                                        {im_transverse, true},
                                                        {re_longitudinal, false},
                                                        {im_longitudinal, false}}
             : std::vector<std::pair<panel_slot, bool>>{{re_transverse, false},
                                                        {im_transverse, false}};
      for (const auto& [slot, across] : mirrored) {
        const pixel_rect& p = panel(d, component, slot);
        int turned = 0, mismatched = 0;
        for (int y = 0; y < p.height; ++y) {
          for (int x = 0; x < p.width; ++x) {
            const rgb a = colour_at(d.image, p.x + x, p.y + y);
            const rgb b = across ? colour_at(d.image, p.x + p.width - 1 - x, p.y + y)
                                 : colour_at(d.image, p.x + x, p.y + p.height - 1 - y);
            const int la = level_of.at({a.r, a.g, a.b}), lb = level_of.at({b.r, b.g, b.b});
            if (la != (is_odd(component) ? -lb : lb)) ++mismatched;
            if (la * lb < 0) ++turned;
          }
        }
        EXPECT_EQ(mismatched, 0) << c.flag << yz << " component " << component << slot;
        EXPECT_EQ(turned > 0, is_odd(component)) << c.flag << yz << component << slot;
      }
      if (!yz && is_odd(component)) {
        EXPECT_TRUE(all_white(d.image, panel(d, component, re_longitudinal)));
      }
    }
  }
}

// One knot far above a background of small values of the other sign, on an axis long enough to
// be pooled: its cell takes its value (the scale's blue end), not an average or the largest.
TEST(PreviewPooling, SingleKnotPeakStaysVisible) {
  struct pool_case {
    grid_counts counts;
    panel_slot slot;
  };
  for (const pool_case& c :
       std::vector<pool_case>{{{3001, 2, 2}, re_transverse}, {{2, 2, 2999}, re_longitudinal}}) {
    const record_table table = table_of(c.counts, [](int f, int i, int, int k) {
      if (f != 0) return 0.0;
      return i == 1777 || k == 1777 ? -1.0 : 0.2;
    });
    const drawn_preview d = draw(table, 'E', map_symmetry{});
    const pixel_rect& p = panel(d, 0, c.slot);
    EXPECT_LE(std::max(p.width, p.height), 400) << c.counts.nx;
    EXPECT_TRUE(shows(d.image, p, colour_of(-1.0, 1.0))) << c.counts.nx;
    EXPECT_TRUE(shows(d.image, p, colour_of(0.2, 1.0))) << c.counts.nx;
  }
}

TEST(PreviewPooling, CellsCoverTheAxisSymmetricallyAboutItsMiddle) {
  for (const std::int64_t knots : {401, 599, 800, 1001, 2999, 3000, 40001}) {
    const axis_view view = view_of_axis(knots, 1);
    const std::vector<std::int64_t>& start = view.cell_start;
    ASSERT_GE(start.size(), 2u);
    EXPECT_EQ(start.front(), 0);
    EXPECT_EQ(start.back(), knots);
    EXPECT_LE(view.pixels(), 400) << knots;
    const std::size_t cells = start.size() - 1;
    for (std::size_t c = 0; c < cells; ++c) {
      const std::int64_t size = start[c + 1] - start[c];
      EXPECT_GE(size, 1) << knots;
      EXPECT_LE(size, view.largest_block()) << knots;
      EXPECT_EQ(size, start[cells - c] - start[cells - c - 1]) << knots << " cell " << c;
    }
  }
}

// The bytes written to `file` since its start.
std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string bytes;
  char piece[4096];
  while (const std::size_t got = std::fread(piece, 1, sizeof piece, file)) bytes.append(piece, got);
  return bytes;
}

TEST(PreviewPng, DecodesToTheSamePixels) {
  const record_table table = table_of(
      {11, 21, 11}, [](int f, int i, int j, int k) { return std::cos(f + 0.3 * i * j - k); });
  const preview_image image = draw(table, 'B', yz_mirror).image;
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  write_png(image, file, "preview.png");
  const preview_image back = decoded_png(contents(file));
  std::fclose(file);
  ASSERT_GT(back.width, 0);
  EXPECT_EQ(back.width, image.width);
  EXPECT_EQ(back.height, image.height);
  EXPECT_TRUE(back.rgb == image.rgb);
}

TEST(PreviewPng, FailedWriteNamesTheFileAndCause) {
  const preview_image image = blank_image(300, 200, {10, 20, 30});
  struct write_case {
    const char* path;
    const char* mode;
    std::string message;
  };
  for (const write_case& c : std::vector<write_case>{
           {"/dev/full", "wb", "cannot write \"map preview.png\": No space left on device"},
           {"/dev/null", "rb", "cannot write \"map preview.png\": Bad file descriptor"}}) {
    std::FILE* file = std::fopen(c.path, c.mode);
    ASSERT_NE(file, nullptr) << c.path;
    EXPECT_EQ(failure_of([&] { write_png(image, file, "map preview.png"); }), c.message);
    std::fclose(file);
  }
}

}  // namespace
}  // namespace vort
