// The number form over arbitrary 64-bit and 32-bit patterns: the field has its width, the
// fixed form its closing blanks, and the text reads back as the value. The 17 digits are
// to_chars' own, and the fast kernel decides them without the fallback; its variant with a
// coarse table may decline, but whatever it decides is right too.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fieldmap/number_form.hpp"
#include "fieldmap/seventeen_digits.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void check_field(double value, const vort::number_form& form, bool single) {
  char out[64];
  std::memset(out, '#', sizeof out);
  const char* end = vort::write_number(out, value, form);
  check(end - out == form.width && out[form.width] == '#');
  if (!std::isfinite(value)) return;
  const std::string_view field(out, static_cast<std::size_t>(form.width));
  const std::size_t first = field.find_first_not_of(' ');
  const std::size_t last = field.find_last_not_of(' ');
  check(first != std::string_view::npos && first >= (field[first] == '-' ? 0u : 1u));
  const std::string_view number = field.substr(first, last - first + 1);
  const bool exponent_form = number.find('E') != std::string_view::npos;
  check(exponent_form ? last == field.size() - 1
                      : field.size() - 1 - last == static_cast<std::size_t>(form.closing_blanks));
  double back = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), back);
  check(result.ec == std::errc() && result.ptr == number.data() + number.size());
  check(std::signbit(back) == std::signbit(value));
  if (single) {
    check(static_cast<float>(back) == static_cast<float>(value));
  } else {
    check(back == value);
  }
  // The form follows the rounded magnitude: fixed exactly for 0 and [0.1, 10^limit).
  const double magnitude = std::fabs(back);
  const bool fixed_range =
      magnitude == 0 || (magnitude >= 0.1 && magnitude < std::pow(10.0, form.fixed_below));
  check(exponent_form != fixed_range);
}

// The digits and exponent of std::to_chars's scientific form with 16 decimals.
struct scientific {
  char digits[17];
  int exponent;
};

scientific reference_digits(double value) {
  char text[40];
  const char* end =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 16)
          .ptr;
  scientific expected{};
  expected.digits[0] = text[0];
  std::memcpy(expected.digits + 1, text + 2, 16);
  const char* mark = text + 18;  // the 'e'
  std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, expected.exponent);
  return expected;
}

void check_digits(double value) {
  const scientific expected = reference_digits(value);
  auto matches = [&](const char* digits, int exponent) {
    return std::memcmp(digits, expected.digits, 17) == 0 && exponent == expected.exponent;
  };
  char digits[24];
  int exponent = vort::significant_digits(value, 17, digits);
  check(matches(digits, exponent));
  check(vort::fast_seventeen_digits(value, digits, exponent) && matches(digits, exponent));
  if (vort::fast_seventeen_digits<vort::coarse_table_dropped_bits>(value, digits, exponent)) {
    check(matches(digits, exponent));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return 0;
  double d;
  std::memcpy(&d, data, sizeof d);
  float f;
  std::memcpy(&f, data + 8, sizeof f);
  check_field(d, vort::double_form, false);
  check_field(f, vort::single_form, true);
  if (std::isfinite(d) && d != 0) check_digits(d);
  return 0;
}
