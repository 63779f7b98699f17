// A PNG file read back into pixels by a decoder that shares no code with the converter's
// encoder, so that the tests see what a viewer would.
#pragma once

#include <string>

#include "preview/canvas.hpp"

namespace vort {

// The file's pixels as 8-bit RGB, or an image 0 pixels wide where it is no PNG.
preview_image decoded_png(const std::string& bytes);

}  // namespace vort
