#include <zlib.h>

#include <new>

#include "input/inflated_scan.hpp"

namespace vort {

struct scan_engine {
  z_stream stream{};
};

void scan_engine_release::operator()(scan_engine* engine) const noexcept {
  inflateEnd(&engine->stream);
  delete engine;
}

namespace {

constexpr std::size_t text_block = std::size_t{1} << 20;

void start_engine(inflated_scan& inflated) {
  inflated.engine.reset(new scan_engine{});
  // 15 + 16: a window of 32 KB, and each member's header and trailer checked by zlib.
  if (inflateInit2(&inflated.engine->stream, 15 + 16) != Z_OK) {
    inflated.engine.release();  // inflateInit2 has freed what it took
    throw std::bad_alloc();
  }
  inflated.text = std::make_unique_for_overwrite<char[]>(text_block);
}

}  // namespace

std::optional<failure> scan_inflated_block(inflated_scan& inflated, const stream_bounds& bounds,
                                           const std::string& name, const char* data,
                                           std::size_t size) {
  if (inflated.stopped) return std::nullopt;
  if (!inflated.engine) start_engine(inflated);
  z_stream& z = inflated.engine->stream;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(size);
  for (;;) {
    if (inflated.member_ended) {
      if (z.avail_in == 0) return std::nullopt;
      if (inflateReset(&z) != Z_OK) throw std::bad_alloc();
      inflated.member_ended = false;
    }
    const uInt in_before = z.avail_in;
    z.next_out = reinterpret_cast<Bytef*>(inflated.text.get());
    z.avail_out = static_cast<uInt>(text_block);
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      inflated.stopped = true;
      return std::nullopt;
    }
    const auto made =
        static_cast<std::size_t>(z.next_out - reinterpret_cast<Bytef*>(inflated.text.get()));
    if (std::optional<failure> refusal =
            scan_plain_block(inflated.scan, bounds, name, inflated.text.get(), made)) {
      return refusal;
    }
    if (status == Z_STREAM_END) {
      inflated.member_ended = true;
    } else if (made < text_block && (z.avail_in == 0 || z.avail_in == in_before)) {
      return std::nullopt;  // the rest of the member comes with the next block
    }
  }
}

}  // namespace vort
