#include "input/gzip_inflater.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/positional_io.hpp"

namespace vort {
namespace {

// The bytes consumed last are kept before those read ahead: a member's trailer, which ISA-L
// has consumed when it finds a mismatch, is read back from there to tell which check failed.
constexpr std::size_t kept_behind = 8;
constexpr std::size_t read_size = std::size_t{256} << 10;

constexpr const char* unexpected_end = "unexpected end of file";
constexpr const char* trailing_data = "trailing data after the last gzip member";

// Waits until the descriptor can be read or the wake signal says stop.
bool may_read(gzip_inflater& z) {
  if (z.wake.readable < 0) return true;
  z.stopped = wait_readable_or_woken(z.descriptor, z.wake);
  return !z.stopped;
}

// Reads more bytes after those not yet consumed; false at the end of the file or on a failure.
bool read_more(gzip_inflater& z) {
  if (z.input_ended || inflate_failed(z)) return false;
  const std::size_t keep_from = z.pos - kept_behind;
  std::memmove(z.input.data(), z.input.data() + keep_from, z.end - keep_from);
  z.pos -= keep_from;
  z.end -= keep_from;
  if (!may_read(z)) return false;
  for (;;) {
    const std::int64_t got =
        read_next(z.descriptor, z.input.data() + z.end, z.input.size() - z.end);
    if (got > 0) {
      z.end += static_cast<std::size_t>(got);
      z.compressed_read += static_cast<std::uint64_t>(got);
      return true;
    }
    if (got == 0) {
      z.input_ended = true;
      return false;
    }
    if (errno != EINTR) {
      z.read_error = errno;
      return false;
    }
  }
}

// The count of bytes ready to consume, at least `wanted` unless the file ends first.
std::size_t ensure_input(gzip_inflater& z, std::size_t wanted) {
  while (z.end - z.pos < wanted && read_more(z)) {
  }
  return z.end - z.pos;
}

void set_input(gzip_inflater& z) {
  z.state->next_in = z.input.data() + z.pos;
  z.state->avail_in = static_cast<std::uint32_t>(z.end - z.pos);
}

void take_input(gzip_inflater& z) {
  z.pos = static_cast<std::size_t>(z.state->next_in - z.input.data());
}

// Out of input in the middle of a member: read on, or the file is cut short.
void need_input(gzip_inflater& z) {
  if (!read_more(z) && !inflate_failed(z)) z.damage = unexpected_end;
}

void start_member(gzip_inflater& z) {
  const std::size_t available = ensure_input(z, 4);
  if (inflate_failed(z)) return;
  const std::uint8_t* bytes = z.input.data() + z.pos;
  const bool magic = starts_with_gzip_magic(bytes, available);
  if (!magic && !z.first_member) {
    z.phase = available == 0 ? inflate_phase::end : inflate_phase::padding;
    return;
  }
  if (!magic) {
    z.damage = available < 2 ? unexpected_end : "incorrect header check";
    return;
  }
  // The flag bits that no gzip version defines; ISA-L passes over them.
  if (available >= 4 && (bytes[3] & 0xe0) != 0) {
    z.damage = "unknown header flags set";
    return;
  }
  if (z.first_member) {
    isal_inflate_init(z.state.get());
  } else {
    isal_inflate_reset(z.state.get());
  }
  isal_gzip_header_init(&z.header);
  z.phase = inflate_phase::header;
}

const char* header_damage(int status) {
  switch (status) {
    case ISAL_INVALID_WRAPPER:
      return "incorrect header check";
    case ISAL_UNSUPPORTED_METHOD:
      return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
      return "header crc mismatch";
    default:
      return "invalid header";
  }
}

void read_header(gzip_inflater& z) {
  set_input(z);
  const int status = isal_read_gzip_header(z.state.get(), &z.header);
  take_input(z);
  if (status == ISAL_DECOMP_OK) {
    // The deflate data follow; ISA-L checks the trailer's CRC and length after them.
    z.state->crc_flag = ISAL_GZIP_NO_HDR_VER;
    z.phase = inflate_phase::data;
  } else if (status == ISAL_END_INPUT) {
    need_input(z);
  } else {
    z.damage = header_damage(status);
  }
}

std::uint32_t little_endian_32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// ISA-L reports a wrong CRC and a wrong length alike; the trailer, just consumed, tells which
// (the CRC first, as zlib checks it first).
const char* trailer_damage(const gzip_inflater& z) {
  const std::uint8_t* trailer = z.input.data() + z.pos - kept_behind;
  return little_endian_32(trailer) != z.state->crc ? "incorrect data check"
                                                   : "incorrect length check";
}

const char* data_damage(const gzip_inflater& z, int status) {
  switch (status) {
    case ISAL_INCORRECT_CHECKSUM:
      return trailer_damage(z);
    case ISAL_INVALID_LOOKBACK:
      return "invalid distance too far back";
    case ISAL_INVALID_SYMBOL:
      return "invalid code";
    case ISAL_INVALID_BLOCK:
      // A block type that does not exist, stored lengths that disagree, or code lengths that
      // form no code: ISA-L does not say which.
      return "invalid block header";
    default:
      return "invalid deflate data";
  }
}

// Inflates into [out + done, out + room); returns the new `done`.
std::size_t inflate_data(gzip_inflater& z, char* out, std::size_t done, std::size_t room) {
  set_input(z);
  z.state->next_out = reinterpret_cast<std::uint8_t*>(out + done);
  z.state->avail_out = static_cast<std::uint32_t>(
      std::min<std::size_t>(room - done, std::numeric_limits<std::uint32_t>::max()));
  const std::size_t pos_before = z.pos;
  const int status = isal_inflate(z.state.get());
  take_input(z);
  const auto made = static_cast<std::size_t>(reinterpret_cast<char*>(z.state->next_out) - out);
  if (status != ISAL_DECOMP_OK) {
    z.damage = data_damage(z, status);
    // A bad code or distance may have been copied out before ISA-L stopped at it: this
    // call's text is not handed on. A mismatch in the trailer comes after a whole text.
    if (status != ISAL_INCORRECT_CHECKSUM) return done;
  } else if (z.state->block_state == ISAL_BLOCK_FINISH) {
    z.first_member = false;
    z.phase = inflate_phase::member_start;
  } else if (made < room && (z.pos == z.end || (z.pos == pos_before && made == done))) {
    need_input(z);
  }
  return made;
}

// After the last member: zero bytes up to the end of the file, and nothing else.
void pass_padding(gzip_inflater& z) {
  const std::uint8_t* begin = z.input.data() + z.pos;
  const std::uint8_t* end = z.input.data() + z.end;
  if (std::find_if(begin, end, [](std::uint8_t byte) { return byte != 0; }) != end) {
    z.damage = trailing_data;
    return;
  }
  z.pos = z.end;
  if (!read_more(z) && !inflate_failed(z)) z.phase = inflate_phase::end;
}

}  // namespace

gzip_inflater start_inflater(file_descriptor descriptor, std::string_view already_read,
                             wake_signal wake) {
  gzip_inflater z;
  z.descriptor = descriptor;
  z.wake = wake;
  z.input.resize(kept_behind + std::max(read_size, already_read.size()));
  std::copy(already_read.begin(), already_read.end(), z.input.begin() + kept_behind);
  z.pos = kept_behind;
  z.end = kept_behind + already_read.size();
  z.compressed_read = already_read.size();
  z.state = std::make_unique<inflate_state>();
  return z;
}

std::size_t inflate_text(gzip_inflater& z, char* out, std::size_t room) {
  std::size_t done = 0;
  while (done < room && z.phase != inflate_phase::end && !inflate_failed(z)) {
    switch (z.phase) {
      case inflate_phase::member_start:
        start_member(z);
        break;
      case inflate_phase::header:
        read_header(z);
        break;
      case inflate_phase::data:
        done = inflate_data(z, out, done, room);
        break;
      case inflate_phase::padding:
        pass_padding(z);
        break;
      case inflate_phase::end:
        break;
    }
  }
  return done;
}

failure inflate_failure(const gzip_inflater& z, const std::string& name) {
  if (z.read_error != 0) return failure{fault::cannot_read, name, z.read_error};
  if (z.damage != nullptr) {
    return failure{fault::compressed_data_damaged, name, 0, {std::string(z.damage)}};
  }
  return failure{fault::read_stopped, name};
}

}  // namespace vort
