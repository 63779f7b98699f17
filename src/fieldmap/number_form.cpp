#include "fieldmap/number_form.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "fieldmap/seventeen_digits.hpp"

namespace vort {
namespace {

char* right_aligned(char* out, int width, const char* text, int length) {
  const int pad = width - length;
  std::memset(out, ' ', static_cast<std::size_t>(pad));
  std::memcpy(out + pad, text, static_cast<std::size_t>(length));
  return out + width;
}

char* write_word(char* out, double value, const number_form& form) {
  const char* word = std::isnan(value) ? "NaN" : value < 0 ? "-Infinity" : "Infinity";
  return right_aligned(out, form.width, word, static_cast<int>(std::strlen(word)));
}

}  // namespace

int significant_digits(double value, int count, char* digits) {
  if (value == 0) {  // frequent in field maps: everything outside the structure
    std::memset(digits, '0', static_cast<std::size_t>(count));
    return 0;
  }
  int exponent = 0;
  if (count == 17 && (fast_seventeen_digits(value, digits, exponent) ||
                      exact_seventeen_digits(value, digits, exponent))) {
    return exponent;
  }
  // Scientific digits "[-]d.ddd...e[+-]xx[x]", correctly rounded.
  char sci[48];
  const char* const sci_end = std::to_chars(sci, sci + sizeof sci, std::fabs(value),
                                            std::chars_format::scientific, count - 1)
                                  .ptr;
  const char* exponent_mark = sci + 1 + count;  // after "d." and the decimals
  std::from_chars(exponent_mark + (exponent_mark[1] == '+' ? 2 : 1), sci_end, exponent);
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, static_cast<std::size_t>(count - 1));
  return exponent;
}

char* write_number(char* out, double value, const number_form& form) {
  if (!std::isfinite(value)) return write_word(out, value, form);

  char digits[24];
  const int exponent = significant_digits(value, form.digits, digits);

  char text[40];
  int length = 0;
  if (std::signbit(value)) text[length++] = '-';

  const bool fixed = value == 0 || (exponent >= -1 && exponent < form.fixed_below);
  if (fixed) {
    const int before_point = exponent < 0 ? 0 : exponent + 1;
    if (before_point == 0) {
      text[length++] = '0';
    } else {
      std::memcpy(text + length, digits, static_cast<std::size_t>(before_point));
      length += before_point;
    }
    text[length++] = '.';
    const int after_point = form.digits - before_point;
    std::memcpy(text + length, digits + before_point, static_cast<std::size_t>(after_point));
    length += after_point;
    char* field_end = right_aligned(out, form.width - form.closing_blanks, text, length);
    std::memset(field_end, ' ', static_cast<std::size_t>(form.closing_blanks));
    return field_end + form.closing_blanks;
  }

  text[length++] = digits[0];
  text[length++] = '.';
  std::memcpy(text + length, digits + 1, static_cast<std::size_t>(form.digits - 1));
  length += form.digits - 1;
  text[length++] = 'E';
  text[length++] = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  for (int place = form.exponent_digits - 1; place >= 0; --place) {
    text[length + place] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  length += form.exponent_digits;
  return right_aligned(out, form.width, text, length);
}

}  // namespace vort
