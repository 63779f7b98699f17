// The preview as a PNG, through libpng. libpng reports an error by longjmp, so the one
// function that calls it under setjmp holds no C++ object with a destructor, and the C++
// failure is thrown only after libpng has returned.
#include "preview/png.hpp"

#include <png.h>

#include <cerrno>
#include <cstring>

#include "common/failure.hpp"
#include "common/file_handle.hpp"

namespace vort {
namespace {

struct png_sink {
  std::FILE* out;
  int error;  // errno of the write that failed, 0 while none has
};

// The cause of a failed stdio call; errno is cleared before each, so it is never stale.
int cause_of_failure() {
  return errno != 0 ? errno : EIO;
}

void write_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<png_sink*>(png_get_io_ptr(png));
  errno = 0;
  if (std::fwrite(data, 1, length, sink->out) == length) return;
  sink->error = cause_of_failure();
  png_error(png, "write failed");
}

void flush_bytes(png_structp png) {
  auto* sink = static_cast<png_sink*>(png_get_io_ptr(png));
  errno = 0;
  if (std::fflush(sink->out) == 0) return;
  sink->error = cause_of_failure();
  png_error(png, "flush failed");
}

// libpng's own handlers would print to standard error; the caller reports instead.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void quiet_warning(png_structp, png_const_charp) {}

// The picture holds a few hundred colours, mostly in runs and in rows that repeat a row
// above: deflate at its fastest level finds those repeats in the raw pixels, and a filter
// would only cost time (measured: no filter is the fastest choice on smooth and on noisy
// maps alike, and the smallest on noisy ones).
bool encode(png_structp png, png_infop info, const preview_image& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * row_bytes);
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

void write_png(const preview_image& image, std::FILE* out, const std::string& name) {
  png_sink sink{out, 0};
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool written = false;
  if (info != nullptr) {
    png_set_write_fn(png, &sink, write_bytes, flush_bytes);
    written = encode(png, info, image);
  }
  png_destroy_write_struct(&png, &info);
  errno = 0;
  if (written && std::fflush(out) != 0) sink.error = cause_of_failure();
  if (!written && sink.error == 0) sink.error = ENOMEM;  // libpng fails otherwise only for memory
  if (sink.error != 0) {
    throw failure{fault::cannot_write, name, sink.error};
  }
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
