#include "input/free_form.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/failure.hpp"

namespace vort {
namespace {

// Character classes, looked up once per character in the hot loops.
enum char_class : unsigned char { other = 0, blank = 1, separator = 2, digit = 4 };

constexpr std::array<unsigned char, 256> char_classes = [] {
  std::array<unsigned char, 256> classes{};
  for (const char c : {' ', '\t', '\r'}) classes[static_cast<unsigned char>(c)] = blank;
  for (const char c : {',', '/', '\n'}) classes[static_cast<unsigned char>(c)] = separator;
  for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = digit;
  return classes;
}();

unsigned char class_of(char c) {
  return char_classes[static_cast<unsigned char>(c)];
}
bool is_blank(char c) {
  return class_of(c) == blank;
}
bool ends_item(char c) {
  return (class_of(c) & (blank | separator)) != 0;
}
bool is_digit(char c) {
  return class_of(c) == digit;
}

const char* skip_digits(const char* p, const char* last) {
  while (p < last && is_digit(*p)) ++p;
  return p;
}

// The digits after a decimal point, eight bytes at a time: a table's numbers are mostly
// such runs (%15.7e has seven), and looking at them byte by byte is much of what reading a
// table costs (measured: the whole record parse 11% faster). The byte tricks below take the
// first character as the lowest byte of a word.
static_assert(std::endian::native == std::endian::little);

std::uint64_t load_word(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

constexpr std::uint64_t repeated(unsigned char byte) {
  return 0x0101010101010101ULL * byte;
}

// How many of the word's bytes, from the first, are decimal digits (0 to 8). A byte below
// '0' borrows from the next one and a byte above '9' carries into it, but only bytes after
// the first that is not a digit are disturbed, and those do not count.
int leading_digits(std::uint64_t word) {
  const std::uint64_t below_zero = word - repeated('0');
  const std::uint64_t above_nine = word + repeated(0x80 - ('9' + 1));
  const std::uint64_t not_digit = (below_zero | above_nine) & repeated(0x80);
  return not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
}

// The value of the first `count` (1 to 8) digits of the word: neighbouring digits are
// joined into pairs, pairs into fours, fours into the eight, each step in place.
std::uint64_t digits_value(std::uint64_t word, int count) {
  std::uint64_t digits = word - repeated('0');
  digits <<= 8 * (8 - count);  // the digits last, zeros in front of them
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFULL;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFULL;
  digits = (digits * 10000 + (digits >> 32)) & 0x00000000FFFFFFFFULL;
  return digits;
}

constexpr std::uint64_t powers_of_ten[9] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

// Adds the digits at `p` to `mantissa` (which wraps beyond 19 digits: the caller counts
// them) and returns their end.
const char* scan_digits(const char* p, const char* last, std::uint64_t& mantissa) {
  while (last - p >= 8) {
    const std::uint64_t word = load_word(p);
    const int count = leading_digits(word);
    if (count == 0) return p;
    mantissa = mantissa * powers_of_ten[count] + digits_value(word, count);
    p += count;
    if (count < 8) return p;
  }
  for (; p < last && is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  return p;
}

// The grammar of a real item: [sign] digits [. digits] or [sign] . digits, then an optional
// exponent letter E, e, D or d with an optional sign and at least one digit. Everything else
// (NaN, Inf, 1.0+5, 3*1.5, hex) is refused before std::from_chars, which would accept some
// of it. `scan_real` follows the grammar as far as it goes and gathers the digits and the
// decimal exponent on the way, so an item is looked at once.
struct real_scan {
  bool valid = false;  // the text up to the returned end is a whole real
  bool negative = false;
  bool exact = false;  // value = mantissa * 10^exponent (at most 19 digits)
  std::uint64_t mantissa = 0;
  std::int64_t exponent = 0;
};

constexpr std::ptrdiff_t max_mantissa_digits = 19;
constexpr std::int64_t exponent_cap = 100000;  // far beyond any double; keeps sums bounded
// An exponent of more digits (leading zeros or not) counts as `exponent_cap`, which leaves
// the item to the general path: so every item the fast path reads is short, and only the
// general path needs to look at an item's length.
constexpr std::ptrdiff_t counted_exponent_digits = 5;
static_assert(1 + max_mantissa_digits + 3 + counted_exponent_digits <= longest_real_item);

const char* scan_real(const char* p, const char* last, real_scan& scan) {
  if (p < last && (*p == '+' || *p == '-')) scan.negative = *p++ == '-';
  std::uint64_t mantissa = 0;
  const char* integer = p;
  for (; p < last && is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  std::ptrdiff_t digits = p - integer;
  std::ptrdiff_t decimals = 0;
  if (p < last && *p == '.') {
    const char* fraction = ++p;
    p = scan_digits(p, last, mantissa);
    decimals = p - fraction;
    digits += decimals;
  }
  if (digits == 0) return p;
  std::int64_t written = 0;
  if (p < last && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')) {
    ++p;
    bool negative_exponent = false;
    if (p < last && (*p == '+' || *p == '-')) negative_exponent = *p++ == '-';
    const char* exponent_digits = p;
    const char* counted_end = p + counted_exponent_digits;
    for (; p < last && is_digit(*p); ++p) {
      written = p < counted_end ? written * 10 + (*p - '0') : exponent_cap;
    }
    if (p == exponent_digits) return p;
    if (negative_exponent) written = -written;
  }
  scan.valid = true;
  scan.exact = digits <= max_mantissa_digits;  // otherwise the mantissa has wrapped
  scan.mantissa = mantissa;
  scan.exponent = written - decimals;
  return p;
}

// Powers of ten that a double holds exactly.
constexpr double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A mantissa up to 2^53 and a power of ten up to 10^22 are both exact doubles, so one
// correctly rounded multiplication or division gives the correctly rounded value.
bool exact_fast_path(const real_scan& scan, double& value) {
  if (!scan.exact || scan.mantissa > (std::uint64_t{1} << 53)) return false;
  if (scan.mantissa == 0) {
    value = scan.negative ? -0.0 : 0.0;
    return true;
  }
  if (scan.exponent < -22 || scan.exponent > 22) return false;
  const double mantissa = static_cast<double>(scan.mantissa);
  const double magnitude = scan.exponent < 0 ? mantissa / exact_powers[-scan.exponent]
                                             : mantissa * exact_powers[scan.exponent];
  value = scan.negative ? -magnitude : magnitude;
  return true;
}

// std::from_chars reads no leading plus and no D exponent: an item with a D is read from a
// copy on the stack with E in its place. Items are at most `longest_real_item` long here.
template <class Real>
std::errc from_item_chars(const char* first, const char* last, Real& value) {
  if (*first == '+') ++first;
  const char* letter = std::find_if(first, last, [](char c) { return c == 'D' || c == 'd'; });
  if (letter == last) return std::from_chars(first, last, value).ec;
  std::array<char, longest_real_item> copy;
  const auto size = static_cast<std::size_t>(last - first);
  std::memcpy(copy.data(), first, size);
  copy[static_cast<std::size_t>(letter - first)] = 'E';
  return std::from_chars(copy.data(), copy.data() + size, value).ec;
}

// For a real beyond a double's range either way: whether it is too large rather than too
// small. Its order (the power of ten just above its first significant digit) tells, since
// the two kinds lie hundreds of powers of ten away from 1.
bool above_one(const char* p, const char* last) {
  if (*p == '+' || *p == '-') ++p;
  std::int64_t order = 0;
  bool significant = false;
  for (; p < last && is_digit(*p); ++p) {
    significant = significant || *p != '0';
    if (significant) ++order;
  }
  if (p < last && *p == '.') {
    for (++p; !significant && p < last && *p == '0'; ++p) --order;
    p = skip_digits(p, last);
  }
  if (p < last) {  // the exponent letter
    ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    std::int64_t written = 0;
    for (; p < last && written < exponent_cap; ++p) written = written * 10 + (*p - '0');
    order += negative ? -written : written;
  }
  return order > 0;
}

// Any valid real item of at most `longest_real_item` characters, correctly rounded. A value
// too small for a double is the zero of its sign, as the text stands for it. Out of line, so
// that the loop over a table's items stays as small as its fast path.
[[gnu::noinline]] bool parse_general_real(const char* first, const char* last, double& value,
                                          item_error& error) {
  double parsed = 0.0;
  const std::errc result = from_item_chars(first, last, parsed);
  if (result == std::errc::result_out_of_range) {
    if (above_one(first, last)) {
      error = item_error::out_of_range;
      return false;
    }
    parsed = *first == '-' ? -0.0 : 0.0;
  } else if (result != std::errc()) {
    return false;
  }
  value = parsed;
  return true;
}

// A valid real item: its value, or false with `error` set.
bool parse_scanned_real(const char* first, const char* last, const real_scan& scan, double& value,
                        item_error& error) {
  if (exact_fast_path(scan, value)) return true;
  if (last - first > static_cast<std::ptrdiff_t>(longest_real_item)) {
    error = item_error::too_long;
    return false;
  }
  error = item_error::malformed;
  return parse_general_real(first, last, value, error);
}

// The item that starts at `p`: its value, or the end of its text for the message.
bool read_item(const char*& p, const char* end, double& value, item_error& error) {
  const char* first = p;
  real_scan scan;
  p = scan_real(p, end, scan);
  if (scan.valid && (p == end || ends_item(*p))) {
    return parse_scanned_real(first, p, scan, value, error);
  }
  while (p < end && !ends_item(*p)) ++p;
  error = item_error::malformed;
  return false;
}

// A single-precision value is rounded once, from the text; the text must first be a real that
// a double holds, so that 1e400 is refused as it is everywhere.
bool read_item(const char*& p, const char* end, float& value, item_error& error) {
  const char* first = p;
  double wide = 0;
  if (!read_item(p, end, wide, error)) return false;
  float parsed = 0;
  if (from_item_chars(first, p, parsed) == std::errc::result_out_of_range) {
    if (std::fabs(wide) > 1) {
      error = item_error::beyond_single;
      return false;
    }
    parsed = std::copysign(0.0f, static_cast<float>(wide));
  }
  value = parsed;
  return true;
}

bool read_item(const char*& p, const char* end, std::int32_t& value, item_error& error) {
  const char* first = p;
  while (p < end && !ends_item(*p)) ++p;
  return parse_integer(first, p, value, error);
}

template <class T>
read_status read_list(text_cursor& cursor, list_read& state, std::span<T> values, bad_item* bad) {
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
      item_error error{};
      if (!read_item(p, end, values[static_cast<std::size_t>(state.next)], error)) {
        cursor.pos = first;
        if (bad != nullptr) {
          *bad = bad_item{std::string_view(first, static_cast<std::size_t>(p - first)), cursor.line,
                          state.next, error};
        }
        return read_status::bad_value;
      }
      ++state.next;
      state.after_comma = false;
      if (state.first_line == 0) state.first_line = cursor.line;
      state.last_line = cursor.line;
    }
  }
  cursor.pos = p;
  skip_rest_of_line(cursor);
  return read_status::complete;
}

}  // namespace

bool parse_real(const char* first, const char* last, double& value, item_error& error) {
  error = item_error::malformed;
  real_scan scan;
  if (scan_real(first, last, scan) != last || !scan.valid) return false;
  return parse_scanned_real(first, last, scan, value, error);
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

read_status read_singles(text_cursor& cursor, list_read& state, std::span<float> values,
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

}  // namespace vort
