#include "fieldmap/number_form.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

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

char* write_number(char* out, double value, const number_form& form) {
  if (!std::isfinite(value)) return write_word(out, value, form);

  // Scientific digits "[-]d.ddd...e[+-]xx[x]", correctly rounded.
  char sci[48];
  const char* const sci_end =
      std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, form.digits - 1)
          .ptr;
  const bool negative = sci[0] == '-';
  const char* first_digit = sci + (negative ? 1 : 0);
  const char* exponent_mark = first_digit + 1 + form.digits;  // after "d." and the decimals
  int exponent = 0;
  std::from_chars(exponent_mark + (exponent_mark[1] == '+' ? 2 : 1), sci_end, exponent);

  // The significant digits without the point.
  char digits[24];
  digits[0] = first_digit[0];
  std::memcpy(digits + 1, first_digit + 2, static_cast<std::size_t>(form.digits - 1));

  char text[40];
  int length = 0;
  if (negative) text[length++] = '-';

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
