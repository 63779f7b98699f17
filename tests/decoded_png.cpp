#include "decoded_png.hpp"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include <cstdlib>

namespace vort {

preview_image decoded_png(const std::string& bytes) {
  preview_image image;
  int width = 0;
  int height = 0;
  int channels = 0;
  unsigned char* pixels =
      stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()), &width, &height, &channels, 3);
  if (pixels == nullptr) return image;
  image.width = width;
  image.height = height;
  image.rgb.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 3);
  std::free(pixels);
  return image;
}

}  // namespace vort
