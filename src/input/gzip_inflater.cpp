#include "input/gzip_inflater.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/gzip_engine.hpp"
#include "platform/positional_io.hpp"

namespace vort {
namespace {

constexpr std::size_t read_size = std::size_t{256} << 10;

// Waits until the descriptor can be read or the wake signal says stop.
bool may_read(gzip_inflater& z) {
  if (z.wake.readable < 0) return true;
  z.stopped = wait_readable_or_woken(z.descriptor, z.wake);
  return !z.stopped;
}

// Reads more bytes after those not yet consumed; false at the end of the file or on a failure.
bool read_more(gzip_inflater& z) {
  if (z.input_ended || inflate_failed(z)) return false;
  const std::size_t keep_from = z.pos - gzip_kept_behind;
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
    z.damage = available < 2 ? gzip_damage::unexpected_end : gzip_damage::header_check;
    return;
  }
  // The flag bits that no gzip version defines; some libraries pass over them.
  if (available >= 4 && (bytes[3] & 0xe0) != 0) {
    z.damage = gzip_damage::header_flags;
    return;
  }
  start_member_engine(z);
}

// After the last member: zero bytes up to the end of the file, and nothing else.
void pass_padding(gzip_inflater& z) {
  const std::uint8_t* begin = z.input.data() + z.pos;
  const std::uint8_t* end = z.input.data() + z.end;
  if (std::find_if(begin, end, [](std::uint8_t byte) { return byte != 0; }) != end) {
    z.damage = gzip_damage::trailing_data;
    return;
  }
  z.pos = z.end;
  if (!read_more(z) && !inflate_failed(z)) z.phase = inflate_phase::end;
}

}  // namespace

void need_input(gzip_inflater& z) {
  if (!read_more(z) && !inflate_failed(z)) z.damage = gzip_damage::unexpected_end;
}

gzip_inflater start_inflater(file_descriptor descriptor, std::string_view already_read,
                             wake_signal wake) {
  gzip_inflater z;
  z.descriptor = descriptor;
  z.wake = wake;
  z.input.resize(gzip_kept_behind + std::max(read_size, already_read.size()));
  std::copy(already_read.begin(), already_read.end(), z.input.begin() + gzip_kept_behind);
  z.pos = gzip_kept_behind;
  z.end = gzip_kept_behind + already_read.size();
  z.compressed_read = already_read.size();
  z.engine = make_gzip_engine();
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
        read_member_header(z);
        break;
      case inflate_phase::data:
        done = inflate_member_data(z, out, done, room);
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
  if (z.damage != gzip_damage::none) {
    return failure{fault::compressed_data_damaged, name, 0, {static_cast<std::int64_t>(z.damage)}};
  }
  return failure{fault::read_stopped, name};
}

}  // namespace vort
