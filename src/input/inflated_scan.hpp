// The text of a compressed stream, inflated block by block as the stream is copied, so that its
// lines are bounded as a plain stream's are (stream_bounds): a compressed stream of endless
// blank lines is as small as it is long. Inflating stops quietly where the data are damaged or
// a member is followed by anything but another member: the reading of the copy says what is
// wrong, and the stream's own bytes stay bounded. The members are inflated by the library the
// build chose for gzip_inflater, in inflated_scan_isal.cpp or inflated_scan_zlib.cpp.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "input/stream_bounds.hpp"

namespace vort {

// The library's state for the member being inflated, defined with the library's calls.
struct scan_engine;
struct scan_engine_release {
  void operator()(scan_engine* engine) const noexcept;
};

struct inflated_scan {
  std::unique_ptr<scan_engine, scan_engine_release> engine;
  std::unique_ptr<char[]> text;  // a block of inflated text, scanned and dropped
  stream_scan scan;              // of the text
  bool member_ended = true;      // the next byte starts a member
  bool stopped = false;
};

// Inflates the next block of the compressed stream called `name` in messages and scans its
// text; returns the refusal of a text that has passed a bound, if it has.
std::optional<failure> scan_inflated_block(inflated_scan& inflated, const stream_bounds& bounds,
                                           const std::string& name, const char* data,
                                           std::size_t size);

}  // namespace vort
