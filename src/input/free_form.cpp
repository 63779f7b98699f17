#include "input/free_form.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vort {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool ends_item(char c) { return is_blank(c) || c == ',' || c == '/' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* skip_digits(const char* p, const char* last) {
  while (p < last && is_digit(*p)) ++p;
  return p;
}

// [sign] digits [. digits] or [sign] . digits, then optional exponent letter E, e, D or d with
// an optional sign and at least one digit. Everything else (NaN, Inf, 1.0+5, 3*1.5, hex) is
// refused before std::from_chars, which would accept some of it.
bool is_real_text(const char* p, const char* last) {
  if (p < last && (*p == '+' || *p == '-')) ++p;
  const char* int_end = skip_digits(p, last);
  std::ptrdiff_t digits = int_end - p;
  p = int_end;
  if (p < last && *p == '.') {
    const char* frac_end = skip_digits(p + 1, last);
    digits += frac_end - (p + 1);
    p = frac_end;
  }
  if (digits == 0) return false;
  if (p == last) return true;
  if (*p != 'E' && *p != 'e' && *p != 'D' && *p != 'd') return false;
  ++p;
  if (p < last && (*p == '+' || *p == '-')) ++p;
  const char* exp_end = skip_digits(p, last);
  return exp_end > p && exp_end == last;
}

// Rare path: the value is beyond a double's range. strtod tells overflow (infinity) from
// underflow (a zero or subnormal, which is the value the text stands for).
bool parse_out_of_range(std::string_view text, double& value, item_error& error) {
  std::string copy(text);
  for (char& c : copy) {
    if (c == 'D' || c == 'd') c = 'E';
  }
  const double parsed = std::strtod(copy.c_str(), nullptr);
  if (std::isinf(parsed)) {
    error = item_error::out_of_range;
    return false;
  }
  value = parsed == 0.0 ? std::copysign(0.0, copy.front() == '-' ? -1.0 : 1.0) : parsed;
  return true;
}

bool parse_item(const char* first, const char* last, double& value, item_error& error) {
  return parse_real(first, last, value, error);
}
bool parse_item(const char* first, const char* last, std::int32_t& value, item_error& error) {
  return parse_integer(first, last, value, error);
}

template <class T>
read_status read_list(text_cursor& cursor, list_read& state, std::span<T> values,
                      bad_item* bad) {
  const char* p = cursor.pos;
  const char* const end = cursor.end;
  const int count = static_cast<int>(values.size());
  while (state.next < count) {
    while (p < end && is_blank(*p)) ++p;
    if (p == end) {
      cursor.pos = p;
      return read_status::need_more;
    }
    const char c = *p;
    if (c == '\n') {
      ++p;
      ++cursor.line;
    } else if (c == ',') {
      ++p;
      if (state.after_comma) ++state.next;
      state.after_comma = true;
    } else if (c == '/') {
      cursor.pos = p;
      skip_rest_of_line(cursor);
      return read_status::slash;
    } else {
      const char* first = p;
      while (p < end && !ends_item(*p)) ++p;
      item_error error{};
      if (!parse_item(first, p, values[static_cast<std::size_t>(state.next)], error)) {
        cursor.pos = first;
        if (bad != nullptr) {
          *bad = bad_item{std::string_view(first, static_cast<std::size_t>(p - first)),
                          cursor.line, state.next, error};
        }
        return read_status::bad_value;
      }
      ++state.next;
      state.after_comma = false;
    }
  }
  cursor.pos = p;
  skip_rest_of_line(cursor);
  return read_status::complete;
}

}  // namespace

bool parse_real(const char* first, const char* last, double& value, item_error& error) {
  error = item_error::malformed;
  if (!is_real_text(first, last)) return false;
  const char* start = *first == '+' ? first + 1 : first;
  // std::from_chars knows no D exponent; such items are rewritten in a small local copy.
  char local[64];
  const char* exponent = start;
  while (exponent < last && *exponent != 'D' && *exponent != 'd') ++exponent;
  const char* parse_first = start;
  const char* parse_last = last;
  if (exponent != last) {
    const auto length = static_cast<std::size_t>(last - start);
    if (length > sizeof local) return parse_out_of_range({first, last}, value, error);
    std::memcpy(local, start, length);
    local[exponent - start] = 'E';
    parse_first = local;
    parse_last = local + length;
  }
  double parsed = 0.0;
  const auto result = std::from_chars(parse_first, parse_last, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    return parse_out_of_range({first, static_cast<std::size_t>(last - first)}, value, error);
  }
  if (result.ec != std::errc() || result.ptr != parse_last) return false;
  value = parsed;
  return true;
}

bool parse_integer(const char* first, const char* last, std::int32_t& value, item_error& error) {
  error = item_error::malformed;
  const char* digits = first;
  if (digits < last && (*digits == '+' || *digits == '-')) ++digits;
  if (digits == last || skip_digits(digits, last) != last) return false;
  const char* start = *first == '+' ? first + 1 : first;
  std::int32_t parsed = 0;
  const auto result = std::from_chars(start, last, parsed);
  if (result.ec == std::errc::result_out_of_range) error = item_error::out_of_range;
  if (result.ec != std::errc() || result.ptr != last) return false;
  value = parsed;
  return true;
}

read_status read_reals(text_cursor& cursor, list_read& state, std::span<double> values,
                       bad_item* bad) {
  return read_list(cursor, state, values, bad);
}

read_status read_integers(text_cursor& cursor, list_read& state, std::span<std::int32_t> values,
                          bad_item* bad) {
  return read_list(cursor, state, values, bad);
}

void skip_rest_of_line(text_cursor& cursor) {
  const auto left = static_cast<std::size_t>(cursor.end - cursor.pos);
  const void* line_end = left == 0 ? nullptr : std::memchr(cursor.pos, '\n', left);
  if (line_end == nullptr) {
    cursor.pos = cursor.end;
    return;
  }
  cursor.pos = static_cast<const char*>(line_end) + 1;
  ++cursor.line;
}

std::string printable_item(std::string_view text) {
  constexpr std::size_t shown = 40;
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      static constexpr char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  if (text.size() > shown) out += "...";
  return out;
}

}  // namespace vort
