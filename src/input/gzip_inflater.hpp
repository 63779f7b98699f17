// Inflating a gzip file member after member, from a descriptor read in order with
// read(2): the descriptor may be a pipe, and the file's size is never asked. A member followed
// by another member goes on into it. After the last member only zero bytes may follow
// (padding to a whole block, as a tape or a device leaves it); any other trailing byte is
// damage, for it may be a text or a member that has lost its start.
//
// The deflate data are inflated by one of two libraries, chosen when the program is built:
// ISA-L (gzip_inflater_isal.cpp), the faster, or zlib (gzip_inflater_zlib.cpp), which every
// system has. Both tell the same damages apart (`gzip_damage`); this file and gzip_inflater.cpp
// see neither library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.hpp"
#include "platform/wakeable_read.hpp"

namespace vort {

enum class inflate_phase { member_start, header, data, padding, end };

// The library's state for the member being inflated, defined with the library's calls.
struct gzip_engine;
struct gzip_engine_release {
  void operator()(gzip_engine* engine) const noexcept;
};

// The damages a compressed table can show, as far as both libraries tell them apart (zlib's
// words for them are app's).
enum class gzip_damage : std::uint8_t {
  none,
  unexpected_end,      // the file ends inside a member
  trailing_data,       // bytes other than zeros after the last member
  header_check,        // no gzip magic where a member must start
  header_flags,        // flag bits that no gzip version defines
  compression_method,  // a method other than deflate
  header_crc,          // the header's own CRC is wrong
  invalid_header,      // the header is damaged otherwise
  data_check,          // the text's CRC is wrong
  length_check,        // the text's length is wrong
  distance_too_far,    // a back-reference before the start of the text
  invalid_code,        // a code that no table holds
  block_header,        // a block type, stored lengths or code lengths that make no block
  deflate_data,        // the deflate data are damaged otherwise
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
  gzip_damage damage = gzip_damage::none;
  int read_error = 0;    // an errno of read(2)
  bool stopped = false;  // `wake` was sent
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
  return inflater.damage != gzip_damage::none || inflater.read_error != 0 || inflater.stopped;
}

// Why inflating the table `name` failed: the read error, the damage, or the stop.
failure inflate_failure(const gzip_inflater& inflater, const std::string& name);

}  // namespace vort
