#include "preview/picture.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_layout.hpp"
#include "fieldmap/output_files.hpp"
#include "preview/axis_plot.hpp"
#include "preview/colour.hpp"
#include "preview/plane.hpp"

namespace vort {
namespace {

// A grey ground, so that a white panel (a part without field) still shows as a panel.
constexpr rgb background{232, 232, 232};
constexpr rgb ink{20, 20, 20};
constexpr rgb frame_colour{96, 96, 96};

struct component_panels {
  std::string name;  // "Bx"
  std::array<preview_plane, panel_slots> planes;
  std::array<std::string, panel_slots> titles;  // "Re Bx  z = 0.05 m"
  std::array<std::string, panel_slots> maxima;  // "max 1.23e-03"
  std::array<std::string, 3> bar_labels;        // top, middle, bottom
  double scale = 0;                             // shared by the four panels
};

// Everything that is drawn, before it is placed.
struct preview_content {
  std::array<std::string, header_lines> header;
  std::array<std::string, 2> captions{"transverse: x right, y down",
                                      "longitudinal: z right, x down"};
  std::array<axis_view, 3> views;  // of the map's x, y and z axis
  std::array<component_panels, 3> components;
};

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Coordinate of knot n (1-based) of the axis as labels show it. A coordinate that is zero but
// for the single-precision rounding of min + n * step (-0.08 + 10 * 0.008 gives 7.45e-09) is
// shown as 0, the plane the user means.
std::string metres(const std::vector<float>& coordinates, std::size_t n) {
  const std::size_t knots = coordinates.size();
  const float spacing =
      knots > 1 ? std::fabs(coordinates[knots - 1] - coordinates[0]) / static_cast<float>(knots - 1)
                : 0.0f;
  const float at = coordinates[n - 1];
  const float coordinate = std::fabs(at) <= 1e-3f * spacing ? 0.0f : at + 0.0f;
  return formatted("%.4g", static_cast<double>(coordinate)) + " m";
}

// "z = 0.05 m"
std::string position_label(char name, const std::vector<float>& axis, std::size_t n) {
  return std::string{name} + " = " + metres(axis, n);
}

// "x -0.08 to 0.08 m"
std::string extent_label(char name, const std::vector<float>& axis) {
  const std::string first = metres(axis, 1);
  return std::string{name} + " " + first.substr(0, first.size() - 2) + " to " +
         metres(axis, axis.size());
}

// "Bx" from the extension ".bx".
std::string component_name(const field_kind& kind, std::size_t component) {
  const std::string_view ext = kind.ext[component];
  return {static_cast<char>(std::toupper(static_cast<unsigned char>(ext[1]))), ext[2]};
}

// The map axes (0 = x, 1 = y, 2 = z) drawn across and down a panel: x across and y down in
// the transverse plane, z across and x down in the longitudinal one.
struct panel_axes {
  std::size_t across, down;
};
panel_axes axes_of_panel(std::size_t slot) {
  return is_transverse(slot) ? panel_axes{0, 1} : panel_axes{2, 0};
}

// "no mirror", "YZ mirror", "YZ and XY mirrors", "YZ, XZ and XY mirrors".
std::string mirrors_text(const map_symmetry& symmetry) {
  std::vector<std::string> planes;
  for (int a = 0; a < 3; ++a) {
    if (symmetry.planes[static_cast<std::size_t>(a)]) planes.emplace_back(plane_name(a));
  }
  if (planes.empty()) return "no mirror";
  std::string text = planes[0];
  for (std::size_t n = 1; n < planes.size(); ++n) {
    text += (n + 1 == planes.size() ? " and " : ", ") + planes[n];
  }
  return text + (planes.size() == 1 ? " mirror" : " mirrors");
}

// The grid, the mirror and any pooling; then the extent of each axis, with a reminder that
// every knot is drawn the same size whatever the steps.
std::array<std::string, header_lines> header_of(map_knots knots, const map_symmetry& symmetry,
                                                const map_axes& axes,
                                                const std::array<axis_view, 3>& views) {
  std::string grid = std::to_string(knots[0]) + " x " + std::to_string(knots[1]) + " x " +
                     std::to_string(knots[2]) + " knots, " + mirrors_text(symmetry);
  const std::int64_t blocks[] = {views[0].largest_block(), views[1].largest_block(),
                                 views[2].largest_block()};
  if (blocks[0] > 1 || blocks[1] > 1 || blocks[2] > 1) {
    grid += ", a cell shows the extreme of up to " + std::to_string(blocks[0]) + " x " +
            std::to_string(blocks[1]) + " x " + std::to_string(blocks[2]) + " knots";
  }
  return {grid, extent_label('x', axes.coordinates[0]) + ", " +
                    extent_label('y', axes.coordinates[1]) + ", " +
                    extent_label('z', axes.coordinates[2]) + " (drawn by knot, not to scale)"};
}

// Where the planes of the map lie in the table, found once for all components.
struct map_cuts {
  map_walk walk;
  std::array<std::size_t, 3> peaks;  // map z knot (1-based) of each component's transverse plane
  std::size_t middle;                // map y knot (1-based) of the longitudinal plane
};

// The map knot (1-based) that shows stored knot `k` (1-based) itself rather than its image:
// with a plane at the first knot the images come first, and map and table knots differ.
std::size_t map_knot_showing(const axis_layout& axis, std::int32_t k) {
  for (std::size_t p = 0; p < axis.stored.size(); ++p) {
    if (axis.image[p] == 0 && axis.stored[p] == k - 1) return p + 1;
  }
  return 1;  // not reached: every stored knot is shown once as itself
}

map_cuts cuts_of(const record_table& table, const map_symmetry& symmetry) {
  map_cuts cuts{walk_map(table, symmetry), {}, 0};
  const axis_layout z = layout_of(table.counts, symmetry).axes[2];
  const std::array<std::int32_t, 3> peaks = peak_z_knots(table);
  for (std::size_t c = 0; c < 3; ++c) cuts.peaks[c] = map_knot_showing(z, peaks[c]);
  cuts.middle = (cuts.walk.y.row_offset.size() + 1) / 2;
  return cuts;
}

// The four planes of component c with their labels.
component_panels panels_of(const record_table& table, const field_kind& kind,
                           const map_symmetry& symmetry, const map_axes& axes, const map_cuts& cuts,
                           const std::array<axis_view, 3>& views, std::size_t c) {
  const std::size_t peak = cuts.peaks[c];
  const std::size_t middle = cuts.middle;
  const map_walk& walk = cuts.walk;
  const plane_cut transverse{&walk.x, &walk.y, walk.z.row_offset[peak - 1],
                             walk.z.images[peak - 1]};
  const plane_cut longitudinal{&walk.z, &walk.x, walk.y.row_offset[middle - 1],
                               walk.y.images[middle - 1]};
  component_panels out;
  out.name = component_name(kind, c);
  const std::string at_z = position_label('z', axes.coordinates[2], peak);
  const std::string at_y = position_label('y', axes.coordinates[1], middle);
  for (std::size_t p = 0; p < panel_slots; ++p) {
    const file_role& role = file_roles[is_real(p) ? c : c + 3];
    const panel_axes drawn = axes_of_panel(p);
    out.planes[p] = sample_plane(table, role.field, factors_of(role, kind, symmetry),
                                 is_transverse(p) ? transverse : longitudinal, views[drawn.across],
                                 views[drawn.down]);
    out.titles[p] =
        (is_real(p) ? "Re " : "Im ") + out.name + "  " + (is_transverse(p) ? at_z : at_y);
    out.maxima[p] = formatted("max %.2e", out.planes[p].largest);
    out.scale = std::max(out.scale, out.planes[p].largest);
  }
  out.bar_labels = out.scale > 0 ? std::array<std::string, 3>{formatted("%+.2e", out.scale), "0",
                                                              formatted("%+.2e", -out.scale)}
                                 : std::array<std::string, 3>{"", "all zero", ""};
  return out;
}

layout_needs needs_of(const preview_content& content) {
  layout_needs needs;
  const panel_axes transverse = axes_of_panel(re_transverse);
  const panel_axes longitudinal = axes_of_panel(re_longitudinal);
  needs.transverse_width = content.views[transverse.across].pixels();
  needs.transverse_height = content.views[transverse.down].pixels();
  needs.longitudinal_width = content.views[longitudinal.across].pixels();
  needs.longitudinal_height = content.views[longitudinal.down].pixels();
  for (const component_panels& component : content.components) {
    for (std::size_t p = 0; p < panel_slots; ++p) {
      needs.label_width[p] = std::max(
          {needs.label_width[p], text_width(component.titles[p]), text_width(component.maxima[p])});
    }
    for (const std::string& label : component.bar_labels) {
      needs.bar_label_width = std::max(needs.bar_label_width, text_width(label));
    }
  }
  for (std::size_t pair = 0; pair < 2; ++pair) {
    needs.caption_width[pair] = text_width(content.captions[pair]);
  }
  for (const std::string& line : content.header) {
    needs.header_width = std::max(needs.header_width, text_width(line));
  }
  return needs;
}

// Each cell a block of cell_px x cell_px pixels: the first pixel row of a row of cells is
// coloured, the others are copies of it.
void paint_plane(preview_image& image, const pixel_rect& area, const preview_plane& plane,
                 const axis_view& across, const axis_view& down, double scale) {
  const auto row_bytes = static_cast<std::size_t>(area.width) * 3;
  for (int c = 0; c < plane.down; ++c) {
    const int y = area.y + c * down.cell_px;
    std::uint8_t* p = pixel_at(image, area.x, y);
    const double* cells = plane.cells.data() + static_cast<std::ptrdiff_t>(c) * plane.across;
    for (int a = 0; a < plane.across; ++a) {
      const rgb colour = colour_of(cells[a], scale);
      for (int n = 0; n < across.cell_px; ++n, p += 3) {
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
      }
    }
    for (int r = 1; r < down.cell_px; ++r) {
      std::copy_n(pixel_at(image, area.x, y), row_bytes, pixel_at(image, area.x, y + r));
    }
  }
  draw_frame(image, area, frame_colour);
}

// +scale at the top, -scale at the bottom, zero in the middle.
void paint_bar(preview_image& image, const component_row& row, const component_panels& component) {
  const pixel_rect& bar = row.bar;
  for (int y = 0; y < bar.height; ++y) {
    const double t = bar.height > 1 ? 1.0 - 2.0 * y / (bar.height - 1) : 0.0;
    fill_rect(image, {bar.x, bar.y + y, bar.width, 1},
              colour_of(t * component.scale, component.scale));
  }
  draw_frame(image, bar, frame_colour);
  draw_text(image, bar.x - 1, row.title_y + line_height, component.name, ink);
  const int label_y[] = {bar.y, bar.y + (bar.height - text_height) / 2,
                         bar.y + bar.height - text_height};
  for (std::size_t n = 0; n < 3; ++n) {
    draw_text(image, row.bar_label_x, label_y[n], component.bar_labels[n], ink);
  }
}

void paint_component(preview_image& image, const preview_layout& layout, const component_row& row,
                     const preview_content& content, const component_panels& component) {
  for (std::size_t p = 0; p < panel_slots; ++p) {
    const panel_axes drawn = axes_of_panel(p);
    paint_plane(image, row.panels[p], component.planes[p], content.views[drawn.across],
                content.views[drawn.down], component.scale);
    draw_text(image, layout.column_x[p], row.title_y, component.titles[p], ink);
    draw_text(image, layout.column_x[p], row.title_y + line_height, component.maxima[p], ink);
  }
  paint_bar(image, row, component);
}

}  // namespace

drawn_preview draw_preview(const record_table& table, const field_kind& kind,
                           const map_symmetry& symmetry, const map_axes& axes) {
  const map_knots knots = knots_of_map(table.counts, symmetry);
  preview_content content;
  content.views = views_of_map(knots);
  content.header = header_of(knots, symmetry, axes, content.views);
  const map_cuts cuts = cuts_of(table, symmetry);
  for (std::size_t c = 0; c < 3; ++c) {
    content.components[c] = panels_of(table, kind, symmetry, axes, cuts, content.views, c);
  }
  drawn_preview out;
  out.layout = lay_out_preview(needs_of(content));
  out.image = blank_image(out.layout.width, out.layout.height, background);
  for (std::size_t n = 0; n < header_lines; ++n) {
    draw_text(out.image, out.layout.column_x[0],
              out.layout.header_y + static_cast<int>(n) * line_height, content.header[n], ink);
  }
  draw_text(out.image, out.layout.column_x[re_transverse], out.layout.caption_y,
            content.captions[0], ink);
  draw_text(out.image, out.layout.column_x[re_longitudinal], out.layout.caption_y,
            content.captions[1], ink);
  for (std::size_t c = 0; c < 3; ++c) {
    paint_component(out.image, out.layout, out.layout.rows[c], content, content.components[c]);
  }
  return out;
}

std::uint64_t preview_bytes(map_knots knots) {
  const std::array<axis_view, 3> views = views_of_map(knots);
  layout_needs needs;
  const panel_axes transverse = axes_of_panel(re_transverse);
  const panel_axes longitudinal = axes_of_panel(re_longitudinal);
  needs.transverse_width = views[transverse.across].pixels();
  needs.transverse_height = views[transverse.down].pixels();
  needs.longitudinal_width = views[longitudinal.across].pixels();
  needs.longitudinal_height = views[longitudinal.down].pixels();
  // Labels as wide as they come: their text is not known yet.
  needs.label_width.fill(text_width(std::string(40, 'x')));
  needs.caption_width.fill(text_width(std::string(60, 'x')));
  needs.bar_label_width = text_width(std::string(12, 'x'));
  needs.header_width = text_width(std::string(160, 'x'));
  const preview_layout layout = lay_out_preview(needs);
  // The picture, and its copy with the strip of the axis.
  const auto image =
      static_cast<std::uint64_t>(layout.width) * (2 * layout.height + axis_plot_px) * sizeof(rgb);
  const auto cells = [&](const panel_axes& drawn) {
    return static_cast<std::uint64_t>(views[drawn.across].cells()) * views[drawn.down].cells();
  };
  const std::uint64_t planes = 3 * 2 * (cells(transverse) + cells(longitudinal)) * sizeof(double);
  const std::uint64_t walk =
      static_cast<std::uint64_t>(knots[0] + knots[1] + knots[2]) * (sizeof(std::int64_t) + 1);
  return image + planes + walk;
}

preview_image render_preview(const record_table& table, const field_kind& kind,
                             const map_symmetry& symmetry, const map_axes& axes,
                             const axis_profile* on_axis) {
  preview_image picture = draw_preview(table, kind, symmetry, axes).image;
  if (on_axis == nullptr) return picture;
  return with_axis_plot(picture, *on_axis, kind);
}

}  // namespace vort
