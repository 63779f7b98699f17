// A picture of the field map, for a glance that tells whether the map looks right: for each
// component, its real and imaginary part in a transverse plane through the component's peak
// and in a longitudinal plane through the middle of the map, as the six files hold them
// (mirror images formed, values scaled and signed), on one diverging colour scale per
// component. See layout.hpp for the arrangement.
#pragma once

#include <cstdint>
#include <string>

#include "common/grid.hpp"
#include "fieldmap/axis_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "input/record_table.hpp"
#include "preview/canvas.hpp"
#include "preview/layout.hpp"

namespace vort {

// `axes` are those of the written map (build_map_axes with the same counts and symmetry).
// Given the profile on the axis, a strip below the panels plots it.
preview_image render_preview(const record_table& table, const field_kind& kind,
                             const map_symmetry& symmetry, const map_axes& axes,
                             const axis_profile* on_axis = nullptr);

// About how many bytes drawing the picture of a map of these knots takes, at most (the strip
// of the axis included).
std::uint64_t preview_bytes(map_knots knots);

// The picture together with where its panels and bars lie.
struct drawn_preview {
  preview_image image;
  preview_layout layout;
};
drawn_preview draw_preview(const record_table& table, const field_kind& kind,
                           const map_symmetry& symmetry, const map_axes& axes);

}  // namespace vort
