// A member's header and deflate data inflated by ISA-L, whose statuses are put in the words
// zlib uses for the same damages.
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <limits>

#include "input/gzip_engine.hpp"

namespace vort {

struct gzip_engine {
  inflate_state state;
  isal_gzip_header header;
};

void gzip_engine_release::operator()(gzip_engine* engine) const noexcept {
  delete engine;
}

std::unique_ptr<gzip_engine, gzip_engine_release> make_gzip_engine() {
  return std::unique_ptr<gzip_engine, gzip_engine_release>(new gzip_engine{});
}

namespace {

void set_input(gzip_inflater& z) {
  z.engine->state.next_in = z.input.data() + z.pos;
  z.engine->state.avail_in = static_cast<std::uint32_t>(z.end - z.pos);
}

void take_input(gzip_inflater& z) {
  z.pos = static_cast<std::size_t>(z.engine->state.next_in - z.input.data());
}

gzip_damage header_damage(int status) {
  switch (status) {
    case ISAL_INVALID_WRAPPER:
      return gzip_damage::header_check;
    case ISAL_UNSUPPORTED_METHOD:
      return gzip_damage::compression_method;
    case ISAL_INCORRECT_CHECKSUM:
      return gzip_damage::header_crc;
    default:
      return gzip_damage::invalid_header;
  }
}

std::uint32_t little_endian_32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// ISA-L reports a wrong CRC and a wrong length alike; the trailer, just consumed, tells which
// (the CRC first, as zlib checks it first).
gzip_damage trailer_damage(const gzip_inflater& z) {
  const std::uint8_t* trailer = z.input.data() + z.pos - gzip_kept_behind;
  return little_endian_32(trailer) != z.engine->state.crc ? gzip_damage::data_check
                                                          : gzip_damage::length_check;
}

gzip_damage data_damage(const gzip_inflater& z, int status) {
  switch (status) {
    case ISAL_INCORRECT_CHECKSUM:
      return trailer_damage(z);
    case ISAL_INVALID_LOOKBACK:
      return gzip_damage::distance_too_far;
    case ISAL_INVALID_SYMBOL:
      return gzip_damage::invalid_code;
    case ISAL_INVALID_BLOCK:
      // A block type that does not exist, stored lengths that disagree, or code lengths that
      // form no code: ISA-L does not say which.
      return gzip_damage::block_header;
    default:
      return gzip_damage::deflate_data;
  }
}

}  // namespace

void start_member_engine(gzip_inflater& z) {
  if (z.first_member) {
    isal_inflate_init(&z.engine->state);
  } else {
    isal_inflate_reset(&z.engine->state);
  }
  isal_gzip_header_init(&z.engine->header);
  z.phase = inflate_phase::header;
}

void read_member_header(gzip_inflater& z) {
  set_input(z);
  const int status = isal_read_gzip_header(&z.engine->state, &z.engine->header);
  take_input(z);
  if (status == ISAL_DECOMP_OK) {
    // The deflate data follow; ISA-L checks the trailer's CRC and length after them.
    z.engine->state.crc_flag = ISAL_GZIP_NO_HDR_VER;
    z.phase = inflate_phase::data;
  } else if (status == ISAL_END_INPUT) {
    need_input(z);
  } else {
    z.damage = header_damage(status);
  }
}

std::size_t inflate_member_data(gzip_inflater& z, char* out, std::size_t done, std::size_t room) {
  inflate_state& state = z.engine->state;
  set_input(z);
  state.next_out = reinterpret_cast<std::uint8_t*>(out + done);
  state.avail_out = static_cast<std::uint32_t>(
      std::min<std::size_t>(room - done, std::numeric_limits<std::uint32_t>::max()));
  const std::size_t pos_before = z.pos;
  const int status = isal_inflate(&state);
  take_input(z);
  const auto made = static_cast<std::size_t>(reinterpret_cast<char*>(state.next_out) - out);
  if (status != ISAL_DECOMP_OK) {
    z.damage = data_damage(z, status);
    // A bad code or distance may have been copied out before ISA-L stopped at it: this
    // call's text is not handed on. A mismatch in the trailer comes after a whole text.
    if (status != ISAL_INCORRECT_CHECKSUM) return done;
  } else if (state.block_state == ISAL_BLOCK_FINISH) {
    z.first_member = false;
    z.phase = inflate_phase::member_start;
  } else if (made < room && (z.pos == z.end || (z.pos == pos_before && made == done))) {
    need_input(z);
  }
  return made;
}

}  // namespace vort
