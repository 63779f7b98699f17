// Inflating a gzip file member after member, from a descriptor read in order with
// read(2): the descriptor may be a pipe, and the file's size is never asked. A member followed
// by another member goes on into it. After the last member only zero bytes may follow
// (padding to a whole block, as a tape or a device leaves it); any other trailing byte is
// damage, for it may be a text or a member that has lost its start.
//
// The deflate data are inflated by one of two libraries, chosen when the program is built:
// ISA-L (gzip_inflater_isal.cpp), the faster, or zlib (gzip_inflater_zlib.cpp), which every
// system has. Both say every damage in the same words; this file and gzip_inflater.cpp see
// neither library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wakeable_read.hpp"

namespace vort {

enum class inflate_phase { member_start, header, data, padding, end };

// The library's state for the member being inflated, defined with the library's calls.
struct gzip_engine;
struct gzip_engine_release {
  void operator()(gzip_engine* engine) const noexcept;
};

struct gzip_inflater {
  file_descriptor descriptor = no_descriptor;
  wake_signal wake;                   // when sent, reading stops (`stopped`); none by default
  std::vector<std::uint8_t> input;    // the last bytes consumed, then those read ahead
  std::size_t pos = 0;                // the next byte to consume
  std::size_t end = 0;                // the end of the bytes read
  bool input_ended = false;           // read(2) has said end of file
  std::uint64_t compressed_read = 0;  // bytes read, those handed in at the start included
  std::unique_ptr<gzip_engine, gzip_engine_release> engine;
  inflate_phase phase = inflate_phase::member_start;
  bool first_member = true;
  // Why inflating stopped before the end of the text, if it did.
  const char* damage = nullptr;  // a reason, in the words zlib uses where there are some
  int read_error = 0;            // an errno of read(2)
  bool stopped = false;          // `wake` was sent
};

// Whether `size` bytes begin as every gzip member does (1f 8b).
inline bool starts_with_gzip_magic(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  return size >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

// Starts inflating the file whose first bytes, `already_read`, have been read from
// `descriptor` (a caller that looked for the gzip magic); the rest is read from it.
gzip_inflater start_inflater(file_descriptor descriptor, std::string_view already_read,
                             wake_signal wake = {});

// Inflates up to `room` bytes of text into `out` and returns their count: less than `room`
// only at the end of the text or when inflating failed (`inflate_failed`).
std::size_t inflate_text(gzip_inflater& inflater, char* out, std::size_t room);

inline bool inflate_failed(const gzip_inflater& inflater) {
  return inflater.damage != nullptr || inflater.read_error != 0 || inflater.stopped;
}

// For a message after "cannot read "name": ": the damage or the read error.
std::string inflate_failure_reason(const gzip_inflater& inflater);

}  // namespace vort
