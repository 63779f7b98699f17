// The text form of a number in the field-map files: a right-aligned field of fixed width.
//
// Fixed form for zero and for every value whose magnitude, rounded to the significant
// digits, is at least 0.1 and below 10^9 (single) or 10^17 (double): the number stands in
// the first width - closing_blanks characters, then closing_blanks blanks. A magnitude below
// 1 is written "0." and all significant digits.
//   single: "  3.00000000    "          double: "  1.0000000000000000     "
// Every other value in exponent form, one digit before the point and a sign and a fixed
// count of exponent digits, right-aligned in the whole field:
//   single: "  5.00000007E-02"          double: " -1.2566370060085319E-006"
// A negative value, negative zero included, carries "-" before its first digit.
#pragma once

namespace vort {

struct number_form {
  int width;
  int digits;  // significant digits
  int exponent_digits;
  int closing_blanks;  // blanks that end a fixed-form field
  int fixed_below;     // decimal exponent from which the exponent form takes over
};

inline constexpr number_form single_form{16, 9, 2, 4, 9};
inline constexpr number_form double_form{25, 17, 3, 5, 17};

// Longest field of either form; callers keep this much room before each call.
inline constexpr int max_field_width = 25;

// Writes `value` in `form` at `out` and returns the end of the field (out + form.width).
// The digits are the value's exact binary value rounded correctly (ties to even), and the
// form is chosen from those rounded digits. A single-precision value is passed widened.
// Infinities and NaN, which no field value can become, are written as words.
char* write_number(char* out, double value, const number_form& form);

// The `count` significant digits of finite |value| correctly rounded (ties to even), written
// to `digits` without a point; returns the decimal exponent of the first digit.
int significant_digits(double value, int count, char* digits);

// Whether the `form.width` characters at `field` lay a number out as `write_number` does: the
// blanks, sign, digits, point and exponent in their places, the first digit not 0 but in a
// zero, and an exponent form only where the fixed form does not hold the value. Says nothing
// of whether the digits are a correct rounding.
bool in_number_form(const char* field, const number_form& form);

// The value of a field that is `in_number_form`.
double value_of_field(const char* field, const number_form& form);

}  // namespace vort
