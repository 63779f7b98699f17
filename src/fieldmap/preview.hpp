// A picture of the field map, for a glance that tells whether the map looks right: for each
// component, its real and imaginary part in a transverse plane through the component's peak
// and in a longitudinal plane through the middle of the map, as the six files hold them
// (mirror images formed, values scaled and signed), on one diverging colour scale per
// component. See preview_layout.hpp for the arrangement.
#pragma once

#include <cstdio>
#include <string>

#include "common/grid.hpp"
#include "common/staged_file.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/preview_canvas.hpp"
#include "fieldmap/preview_layout.hpp"
#include "input/mesh.hpp"
#include "input/record_table.hpp"

namespace vort {

// `axes` are those of the written map (mesh::build_axes with the same counts and mode).
preview_image render_preview(const record_table& table, const field_kind& kind, mirror_mode mode,
                             const mesh::axes& axes);

// The picture together with where its panels and bars lie.
struct drawn_preview {
  preview_image image;
  preview_layout layout;
};
drawn_preview draw_preview(const record_table& table, const field_kind& kind, mirror_mode mode,
                           const mesh::axes& axes);

// Encodes the image as an 8-bit RGB PNG into `out`, which stays open. Throws `failure`
// "cannot write "<name>": <cause>" when a write fails.
void write_png(const preview_image& image, std::FILE* out, const std::string& name);

// The picture as a complete PNG under a temporary name beside `name`, closed: it replaces
// the file of that name only when committed, with the maps. Throws `failure` naming `name`.
staged_file stage_preview(const std::string& name, const preview_image& image);

}  // namespace vort
