// The preview as a PNG, encoded in memory by stb_image_write with zlib's deflate, then written
// to the caller's stream: stb never opens a file itself.
#include "preview/png.hpp"

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/failure.hpp"
#include "common/file_handle.hpp"

namespace vort {
namespace {

// The picture holds a few hundred colours, mostly in runs and in rows that repeat a row
// above: deflate at its fastest level finds those repeats in the raw pixels, and a filter
// would only cost time (measured: no filter is the fastest choice on smooth and on noisy
// maps alike, and the smallest on noisy ones). stb's own deflate makes larger files.
unsigned char* deflate_image_data(unsigned char* data, int size, int* deflated_size, int) {
  uLongf room = compressBound(static_cast<uLong>(size));
  // stb frees the result with free().
  auto* out = static_cast<unsigned char*>(std::malloc(room));
  if (out == nullptr) return nullptr;
  if (compress2(out, &room, data, static_cast<uLong>(size), 1) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *deflated_size = static_cast<int>(room);
  return out;
}

}  // namespace
}  // namespace vort

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS vort::deflate_image_data
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace vort {
namespace {

// The cause of a failed stdio call; errno is cleared before each, so it is never stale.
int cause_of_failure() {
  return errno != 0 ? errno : EIO;
}

struct free_with_free {
  void operator()(unsigned char* bytes) const noexcept { std::free(bytes); }
};

// The whole PNG, or null where memory ran out (stb fails for no other reason).
std::unique_ptr<unsigned char, free_with_free> encode(const preview_image& image, int& size) {
  static const bool unfiltered = [] {
    stbi_write_force_png_filter = 0;
    return true;
  }();
  (void)unfiltered;
  return std::unique_ptr<unsigned char, free_with_free>(stbi_write_png_to_mem(
      image.rgb.data(), image.width * 3, image.width, image.height, 3, &size));
}

}  // namespace

void write_png(const preview_image& image, std::FILE* out, const std::string& name) {
  int size = 0;
  const auto png = encode(image, size);
  int error = png ? 0 : ENOMEM;
  errno = 0;
  if (error == 0 && (std::fwrite(png.get(), 1, static_cast<std::size_t>(size), out) !=
                         static_cast<std::size_t>(size) ||
                     std::fflush(out) != 0)) {
    error = cause_of_failure();
  }
  if (error != 0) throw failure{fault::cannot_write, name, error};
}

staged_file stage_preview(const std::string& name, const preview_image& image) {
  staged_file file = stage_file(name);
  errno = 0;
  const file_descriptor descriptor = duplicate_descriptor(file.fd);
  file_handle stream(descriptor < 0 ? nullptr : stream_on_descriptor(descriptor, "wb"));
  if (!stream) {
    if (descriptor >= 0) close_descriptor(descriptor);
    throw failure{fault::cannot_write, name, cause_of_failure()};
  }
  write_png(image, stream.get(), name);
  errno = 0;
  if (std::fclose(stream.release()) != 0) {
    throw failure{fault::cannot_write, name, cause_of_failure()};
  }
  close_staged(file);
  return file;
}

}  // namespace vort
