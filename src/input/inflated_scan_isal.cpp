#include <isa-l/igzip_lib.h>

#include <cstdint>

#include "input/inflated_scan.hpp"

namespace vort {

struct scan_engine {
  inflate_state state;
};

void scan_engine_release::operator()(scan_engine* engine) const noexcept {
  delete engine;
}

namespace {

constexpr std::size_t text_block = std::size_t{1} << 20;

}  // namespace

std::optional<failure> scan_inflated_block(inflated_scan& inflated, const stream_bounds& bounds,
                                           const std::string& name, const char* data,
                                           std::size_t size) {
  if (inflated.stopped) return std::nullopt;
  if (!inflated.engine) {
    inflated.engine.reset(new scan_engine{});
    inflated.text = std::make_unique_for_overwrite<char[]>(text_block);
  }
  inflate_state& z = inflated.engine->state;
  z.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data));
  z.avail_in = static_cast<std::uint32_t>(size);
  for (;;) {
    if (inflated.member_ended) {
      if (z.avail_in == 0) return std::nullopt;
      const std::uint32_t left = z.avail_in;
      std::uint8_t* const next = z.next_in;
      isal_inflate_init(&z);
      z.next_in = next;
      z.avail_in = left;
      z.crc_flag = ISAL_GZIP;  // each member's header and trailer checked by ISA-L
      inflated.member_ended = false;
    }
    const std::uint32_t in_before = z.avail_in;
    z.next_out = reinterpret_cast<std::uint8_t*>(inflated.text.get());
    z.avail_out = static_cast<std::uint32_t>(text_block);
    if (isal_inflate(&z) != ISAL_DECOMP_OK) {
      inflated.stopped = true;
      return std::nullopt;
    }
    const auto made =
        static_cast<std::size_t>(z.next_out - reinterpret_cast<std::uint8_t*>(inflated.text.get()));
    if (std::optional<failure> refusal =
            scan_plain_block(inflated.scan, bounds, name, inflated.text.get(), made)) {
      return refusal;
    }
    if (z.block_state == ISAL_BLOCK_FINISH) {
      inflated.member_ended = true;
    } else if (made < text_block && (z.avail_in == 0 || z.avail_in == in_before)) {
      return std::nullopt;  // the rest of the member comes with the next block
    }
  }
}

}  // namespace vort
