// The picture as a PNG file: the one place that knows the format.
#pragma once

#include <cstdio>
#include <string>

#include "common/staged_file.hpp"
#include "preview/canvas.hpp"

namespace vort {

// Encodes the image as an 8-bit RGB PNG into `out`, which stays open. Throws `failure`
// "cannot write "<name>": <cause>" when a write fails.
void write_png(const preview_image& image, std::FILE* out, const std::string& name);

// The picture as a complete PNG under a temporary name beside `name`, closed: it replaces
// the file of that name only when committed, with the maps. Throws `failure` naming `name`.
staged_file stage_preview(const std::string& name, const preview_image& image);

}  // namespace vort
