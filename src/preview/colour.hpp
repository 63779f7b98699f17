// The diverging colour scale of the preview: white at zero, deepening to red for positive and
// to blue for negative values, symmetric about zero so a sign turned by a mirror shows at once
// as a turned colour of the same depth.
#pragma once

#include "preview/canvas.hpp"

namespace vort {

inline constexpr rgb zero_colour{255, 255, 255};

// The colour of `value` on the scale from -`scale` to +`scale`; values beyond it take the
// colour of its end. A scale that is zero (a component without field) or not a number
// gives white, whatever the value.
rgb colour_of(double value, double scale);

}  // namespace vort
