#include "input/stream_bounds.hpp"

#include <algorithm>
#include <cstring>

#include "input/line_blocks.hpp"
#include "input/line_counter.hpp"

namespace vort {
namespace {

using line_kind = stream_scan::line_kind;

// What a line of values can start with, after its blanks; a line that starts otherwise is
// blank or text.
bool starts_values(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',';
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::int64_t signed_count(std::uint64_t count) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(count, INT64_MAX));
}

// The refusal for the line just ended, if any.
std::optional<failure> passed_line_bound(const stream_scan& scan, const stream_bounds& bounds,
                                         const std::string& name) {
  if (scan.lines > bounds.most_lines) return too_many_lines(name);
  if (scan.other_lines > scan.value_lines + other_lines_allowance) {
    return failure{fault::input_text_beyond_bound,
                   "",
                   0,
                   {signed_count(scan.other_lines), signed_count(scan.value_lines)}};
  }
  if (scan.value_lines > bounds.most_value_lines) {
    return failure{fault::input_values_beyond_bound,
                   "",
                   0,
                   {signed_count(bounds.most_value_lines), bounds.most_records}};
  }
  return std::nullopt;
}

std::optional<failure> passed_byte_bound(const stream_scan& scan, const stream_bounds& bounds) {
  if (scan.bytes <= bounds.most_bytes) return std::nullopt;
  return failure{fault::input_bytes_beyond_bound,
                 "",
                 0,
                 {signed_count(bounds.most_bytes), bounds.most_records}};
}

}  // namespace

stream_bounds bounds_for_records(std::int64_t most_records) {
  const auto records = static_cast<std::uint64_t>(std::max<std::int64_t>(most_records, 0));
  stream_bounds bounds;
  bounds.most_records = most_records;
  bounds.most_bytes = records * longest_line + other_bytes_allowance;
  bounds.most_value_lines = records * 9 + other_lines_allowance;
  bounds.most_lines = static_cast<std::uint64_t>(most_lines);
  return bounds;
}

std::optional<failure> scan_plain_block(stream_scan& scan, const stream_bounds& bounds,
                                        const std::string& name, const char* data,
                                        std::size_t size) {
  const char* pos = data;
  const char* const end = data + size;
  // Longer than the reader takes: it would refuse the line, so the copy does it now.
  const auto too_long = [&] { return scan.line_length > longest_line; };
  const auto line_number = [&] { return static_cast<std::int64_t>(scan.lines + 1); };
  while (pos < end) {
    if (scan.kind == line_kind::undecided) {
      const char* const start = pos;
      while (pos < end && is_blank(*pos)) ++pos;
      scan.line_length += static_cast<std::uint64_t>(pos - start);
      if (too_long()) return long_line(name, line_number());
      if (pos == end) break;
      scan.kind = *pos == '\n'          ? line_kind::blank
                  : starts_values(*pos) ? line_kind::values
                                        : line_kind::text;
    }
    const void* const found = std::memchr(pos, '\n', static_cast<std::size_t>(end - pos));
    const char* const line_end = found != nullptr ? static_cast<const char*>(found) : end;
    scan.line_length += static_cast<std::uint64_t>(line_end - pos);
    if (too_long()) return long_line(name, line_number());
    if (found == nullptr) break;
    pos = line_end + 1;
    ++scan.lines;
    ++(scan.kind == line_kind::values ? scan.value_lines : scan.other_lines);
    scan.kind = line_kind::undecided;
    scan.line_length = 0;
    if (std::optional<failure> refusal = passed_line_bound(scan, bounds, name)) return refusal;
  }
  return scan_block_bytes(scan, bounds, size);
}

std::optional<failure> scan_block_bytes(stream_scan& scan, const stream_bounds& bounds,
                                        std::size_t size) {
  scan.bytes += size;
  return passed_byte_bound(scan, bounds);
}

}  // namespace vort
