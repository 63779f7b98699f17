// A member's header and deflate data inflated by zlib, which reads the gzip header and checks
// the trailer itself. Its message for a damage is read back into the damages both libraries
// tell apart; those that name a finer cause than ISA-L can tell are merged, so that a damaged
// table is refused alike whichever library the build chose.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "input/gzip_engine.hpp"

namespace vort {

struct gzip_engine {
  z_stream stream{};
};

void gzip_engine_release::operator()(gzip_engine* engine) const noexcept {
  inflateEnd(&engine->stream);
  delete engine;
}

std::unique_ptr<gzip_engine, gzip_engine_release> make_gzip_engine() {
  std::unique_ptr<gzip_engine, gzip_engine_release> engine(new gzip_engine{});
  // 15 + 16: a window of 32 KB, and a gzip header and trailer around the deflate data.
  if (inflateInit2(&engine->stream, 15 + 16) != Z_OK) {
    engine.release();  // inflateInit2 has freed what it took
    throw std::bad_alloc();
  }
  return engine;
}

namespace {

// The damage zlib's message names (zlib tells them only in words), as far as both libraries
// tell them apart.
gzip_damage damage_of(const z_stream& stream) {
  const char* message = stream.msg != nullptr ? stream.msg : "";
  static constexpr struct {
    const char* message;
    gzip_damage damage;
  } known[] = {
      {"incorrect header check", gzip_damage::header_check},
      {"unknown compression method", gzip_damage::compression_method},
      {"unknown header flags set", gzip_damage::header_flags},
      {"header crc mismatch", gzip_damage::header_crc},
      {"incorrect data check", gzip_damage::data_check},
      {"incorrect length check", gzip_damage::length_check},
      {"invalid distance too far back", gzip_damage::distance_too_far},
      {"invalid literal/length code", gzip_damage::invalid_code},
      {"invalid distance code", gzip_damage::invalid_code},
      {"invalid code -- missing end-of-block", gzip_damage::invalid_code},
      // A block type that does not exist, stored lengths that disagree, or code lengths that
      // form no code.
      {"invalid block type", gzip_damage::block_header},
      {"invalid stored block lengths", gzip_damage::block_header},
      {"too many length or distance symbols", gzip_damage::block_header},
      {"invalid code lengths set", gzip_damage::block_header},
      {"invalid bit length repeat", gzip_damage::block_header},
      {"invalid literal/lengths set", gzip_damage::block_header},
      {"invalid distances set", gzip_damage::block_header},
  };
  for (const auto& entry : known) {
    if (std::strcmp(message, entry.message) == 0) return entry.damage;
  }
  return gzip_damage::deflate_data;
}

bool in_trailer(gzip_damage damage) {
  return damage == gzip_damage::data_check || damage == gzip_damage::length_check;
}

}  // namespace

void start_member_engine(gzip_inflater& z) {
  if (!z.first_member && inflateReset(&z.engine->stream) != Z_OK) throw std::bad_alloc();
  z.phase = inflate_phase::header;
}

// zlib reads the header as the first part of the data.
void read_member_header(gzip_inflater& z) {
  z.phase = inflate_phase::data;
}

std::size_t inflate_member_data(gzip_inflater& z, char* out, std::size_t done, std::size_t room) {
  z_stream& stream = z.engine->stream;
  stream.next_in = z.input.data() + z.pos;
  stream.avail_in = static_cast<uInt>(z.end - z.pos);
  stream.next_out = reinterpret_cast<Bytef*>(out + done);
  stream.avail_out =
      static_cast<uInt>(std::min<std::size_t>(room - done, std::numeric_limits<uInt>::max()));
  const std::size_t pos_before = z.pos;
  const int status = inflate(&stream, Z_NO_FLUSH);
  z.pos = static_cast<std::size_t>(stream.next_in - z.input.data());
  const auto made = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_out) - out);
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  if (status == Z_STREAM_END) {
    z.first_member = false;
    z.phase = inflate_phase::member_start;
  } else if (status != Z_OK && status != Z_BUF_ERROR) {
    z.damage = damage_of(stream);
    // Text inflated before a bad code or distance is not handed on, as with ISA-L, which may
    // have copied some out before it stopped. A mismatch in the trailer comes after a whole
    // text.
    if (!in_trailer(z.damage)) return done;
  } else if (made < room && (z.pos == z.end || (z.pos == pos_before && made == done))) {
    need_input(z);
  }
  return made;
}

}  // namespace vort
