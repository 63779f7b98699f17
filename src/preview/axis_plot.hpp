// The field on the axis as a strip below the preview's panels: |Ez| (|B| for an axial field)
// with the real and imaginary part of the z component, along z.
#pragma once

#include "fieldmap/axis_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "preview/canvas.hpp"

namespace vort {

// The strip's height in pixels.
inline constexpr int axis_plot_px = 230;

// Returns the picture with the strip added at its bottom, as wide as the picture.
preview_image with_axis_plot(const preview_image& picture, const axis_profile& profile,
                             const field_kind& kind);

}  // namespace vort
