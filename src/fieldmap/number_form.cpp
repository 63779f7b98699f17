#include "fieldmap/number_form.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "fieldmap/seventeen_digits.hpp"

namespace vort {
namespace {

// Both forms lay a number out alike: a blank, the sign's place, then the digits with the
// point among them, ending where the closing blanks or the exponent begin. With the point
// the digits start one place before digits_start; the "0." of a fixed form below 1 takes the
// sign's place too, and its sign the blank's.
constexpr int digits_start = 3;

constexpr bool lays_out(const number_form& form) {
  return form.width == digits_start + form.digits + form.closing_blanks &&
         form.width == digits_start + form.digits + 2 + form.exponent_digits;
}
static_assert(lays_out(single_form) && lays_out(double_form));

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

// The 9 digits of the single-precision header values, and any count of digits the kernel
// does not take. Not inlined: its buffer and call would cost the 17-digit path a frame.
[[gnu::noinline]] int digits_from_to_chars(double value, int count, char* digits) {
  // Scientific digits "[-]d.ddd...e[+-]xx[x]", correctly rounded.
  char sci[48];
  const char* const sci_end = std::to_chars(sci, sci + sizeof sci, std::fabs(value),
                                            std::chars_format::scientific, count - 1)
                                  .ptr;
  const char* exponent_mark = sci + 1 + count;  // after "d." and the decimals
  int exponent = 0;
  std::from_chars(exponent_mark + (exponent_mark[1] == '+' ? 2 : 1), sci_end, exponent);
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, static_cast<std::size_t>(count - 1));
  return exponent;
}

// A zero field, written whole: zeros are most of a field map (everything outside the
// structure). The fixed form "0." and zeros, with '-' in the sign's place for -0.
char* write_zero(char* out, double value, const number_form& form) {
  static constexpr char double_zero[] = "  0.0000000000000000     ";
  static constexpr char single_zero[] = "  0.00000000    ";
  static_assert(sizeof double_zero - 1 == double_form.width);
  static_assert(sizeof single_zero - 1 == single_form.width);
  if (form.width == double_form.width) {
    std::memcpy(out, double_zero, double_form.width);
  } else {
    std::memcpy(out, single_zero, single_form.width);
  }
  if (std::signbit(value)) out[1] = '-';
  return out + form.width;
}

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool all_digits(const char* from, const char* to) {
  for (; from != to; ++from) {
    if (!is_digit(*from)) return false;
  }
  return true;
}

bool all_blank(const char* from, const char* to) {
  for (; from != to; ++from) {
    if (*from != ' ') return false;
  }
  return true;
}

// The exponents a value of the form can carry: those of its precision's finite numbers,
// subnormal ones included.
bool exponent_in_range(int exponent, const number_form& form) {
  return form.digits == double_form.digits ? exponent >= -324 && exponent <= 308
                                           : exponent >= -45 && exponent <= 38;
}

// " d.dddE-xxx" with a sign in the place of the second blank.
bool in_exponent_form(const char* field, const number_form& form) {
  const char* const mark = field + digits_start + form.digits;
  if (field[0] != ' ' || (field[1] != ' ' && field[1] != '-')) return false;
  if (field[2] < '1' || field[2] > '9' || field[3] != '.') return false;
  if (!all_digits(field + 4, mark)) return false;
  if (mark[1] != '+' && mark[1] != '-') return false;
  if (!all_digits(mark + 2, mark + 2 + form.exponent_digits)) return false;
  int exponent = 0;
  for (const char* c = mark + 2; c != mark + 2 + form.exponent_digits; ++c) {
    exponent = 10 * exponent + (*c - '0');
  }
  if (mark[1] == '-') exponent = -exponent;
  // From 0.1 to below 10^fixed_below the fixed form holds the value.
  return (exponent < -1 || exponent >= form.fixed_below) && exponent_in_range(exponent, form);
}

// The digits and the point at their fixed places, then the closing blanks.
bool in_fixed_form(const char* field, const number_form& form) {
  const char* const digits_end = field + digits_start + form.digits;
  if (!all_blank(digits_end, field + form.width)) return false;
  if (field[2] == '.') {  // below 1: "0." and all digits, the first of them not 0
    return (field[0] == ' ' || field[0] == '-') && field[1] == '0' && field[3] != '0' &&
           all_digits(field + 3, digits_end);
  }
  if (field[0] != ' ' || (field[1] != ' ' && field[1] != '-')) return false;
  const char* point = field + 3;
  while (point != digits_end && is_digit(*point)) ++point;
  if (point == digits_end || *point != '.' || !is_digit(field[2])) return false;
  if (!all_digits(field + 2, point) || !all_digits(point + 1, digits_end)) return false;
  if (field[2] != '0') return true;
  // A leading 0 only in zero itself: "0." and zeros.
  if (point != field + 3) return false;
  for (const char* c = point + 1; c != digits_end; ++c) {
    if (*c != '0') return false;
  }
  return true;
}

}  // namespace

bool in_number_form(const char* field, const number_form& form) {
  return field[digits_start + form.digits] == 'E' ? in_exponent_form(field, form)
                                                  : in_fixed_form(field, form);
}

double value_of_field(const char* field, const number_form& form) {
  const char* begin = field;
  const char* const end = field + form.width;
  while (begin != end && *begin == ' ') ++begin;
  double value = 0;
  std::from_chars(begin, end, value);
  return value;
}

int significant_digits(double value, int count, char* digits) {
  if (value == 0) {  // frequent in field maps: everything outside the structure
    std::memset(digits, '0', static_cast<std::size_t>(count));
    return 0;
  }
  int exponent = 0;
  if (count == 17 && fast_seventeen_digits(value, digits, exponent)) return exponent;
  return digits_from_to_chars(value, count, digits);
}

char* write_number(char* out, double value, const number_form& form) {
  if (value == 0) return write_zero(out, value, form);
  if (!std::isfinite(value)) return write_word(out, value, form);

  // The digits go straight into the field, from where the exponent form has its point; the
  // digits before the point then move one place left, in front of it.
  char* const digits = out + digits_start;
  const int exponent = significant_digits(value, form.digits, digits);
  const bool fixed = exponent >= -1 && exponent < form.fixed_below;
  const int before_point = fixed ? exponent + 1 : 1;
  out[0] = ' ';
  out[1] = ' ';
  if (before_point == 1) {  // every exponent form: a one-byte move needs no call
    digits[-1] = digits[0];
  } else {
    std::memmove(digits - 1, digits, static_cast<std::size_t>(before_point));
  }
  digits[before_point - 1] = '.';
  if (before_point == 0) out[1] = '0';
  if (std::signbit(value)) out[before_point == 0 ? 0 : 1] = '-';

  char* const digits_end = digits + form.digits;
  if (fixed) {
    // Fixed-size copies, which compile to plain stores.
    if (form.closing_blanks == 5) {
      std::memcpy(digits_end, "     ", 5);
    } else {
      std::memcpy(digits_end, "    ", 4);
    }
    return digits_end + form.closing_blanks;
  }
  digits_end[0] = 'E';
  digits_end[1] = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  for (int place = form.exponent_digits + 1; place >= 2; --place) {
    digits_end[place] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  return digits_end + 2 + form.exponent_digits;
}

}  // namespace vort
