#include "fieldmap/number_form.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vort {
namespace {

std::string field(double value, const number_form& form) {
  char out[64];
  char* end = write_number(out, value, form);
  return std::string(out, end);
}

struct form_case {
  double value;
  std::string text;
};

TEST(NumberForm, DoublePrecisionFields) {
  const double below_tenth = std::nextafter(0.1, 0.0);
  const std::vector<form_case> cases = {
      {1.0, "  1.0000000000000000     "},
      {3.0, "  3.0000000000000000     "},
      {-1.2566370060085319e-6, " -1.2566370060085319E-006"},
      {-2.5132740120170638e-6, " -2.5132740120170638E-006"},
      {0.1, " 0.10000000000000001     "},
      {below_tenth, "  9.9999999999999992E-002"},
      {-0.1, "-0.10000000000000001     "},
      {0.0, "  0.0000000000000000     "},
      {-0.0, " -0.0000000000000000     "},
      // The largest fixed-form magnitude and the first exponent-form one.
      {99999999999999984.0, "  99999999999999984.     "},
      {1e17, "  1.0000000000000000E+017"},
      {-99999999999999984.0, " -99999999999999984.     "},
      // Carries decide the form: 9.99...95 rounds up to 10 at 17 digits.
      {9.999999999999999999, "  10.000000000000000     "},
      {0.09999999999999999999, " 0.10000000000000001     "},
      {12345.678, "  12345.678000000000     "},
      {0.5, " 0.50000000000000000     "},
      {1e-5, "  1.0000000000000001E-005"},
      {1e100, "  1.0000000000000000E+100"},
      {1e-100, "  1.0000000000000000E-100"},
      {5e-324, "  4.9406564584124654E-324"},
      {std::numeric_limits<double>::max(), "  1.7976931348623157E+308"},
      {-std::numeric_limits<double>::denorm_min(), " -4.9406564584124654E-324"},
      {2.5, "  2.5000000000000000     "},
  };
  for (const form_case& c : cases) {
    EXPECT_EQ(field(c.value, double_form), c.text) << c.value;
  }
}

TEST(NumberForm, SinglePrecisionFields) {
  const std::vector<form_case> cases = {
      {3.0f, "  3.00000000    "},
      {0.05f, "  5.00000007E-02"},
      {0.0f, "  0.00000000    "},
      {-0.0f, " -0.00000000    "},
      {5.0f, "  5.00000000    "},
      {0.5f, " 0.500000000    "},
      {-0.5f, "-0.500000000    "},
      {0.1f, " 0.100000001    "},
      {std::nextafter(0.1f, 0.0f), "  9.99999940E-02"},
      {100000000.0f, "  100000000.    "},
      {999999936.0f, "  999999936.    "},
      {1e9f, "  1.00000000E+09"},
      {-1e9f, " -1.00000000E+09"},
      {9.3132257e-10f, "  9.31322575E-10"},
      {19997.0f, "  19997.0000    "},
      {std::numeric_limits<float>::max(), "  3.40282347E+38"},
      {std::numeric_limits<float>::denorm_min(), "  1.40129846E-45"},
      {1.256637e-6f, "  1.25663701E-06"},
  };
  for (const form_case& c : cases) {
    EXPECT_EQ(field(c.value, single_form), c.text) << c.value;
  }
}

TEST(NumberForm, WordsForValuesWithoutDigits) {
  EXPECT_EQ(field(std::numeric_limits<double>::infinity(), single_form), "        Infinity");
  EXPECT_EQ(field(-std::numeric_limits<double>::infinity(), single_form), "       -Infinity");
  EXPECT_EQ(field(std::nan(""), double_form), std::string(22, ' ') + "NaN");
}

// Any finite bit pattern: the field has its width, the form its rules, and reading the text
// back gives the value again (17 and 9 significant digits identify a double and a float).
TEST(NumberForm, RandomBitPatternsReadBack) {
  std::mt19937_64 random(20261207);
  for (int n = 0; n < 200000; ++n) {
    const std::uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    float f;
    const auto bits32 = static_cast<std::uint32_t>(bits >> 16);
    std::memcpy(&f, &bits32, sizeof f);
    const struct {
      double value;
      const number_form& form;
      bool single;
    } checks[] = {{d, double_form, false}, {f, single_form, true}};
    for (const auto& check : checks) {
      if (!std::isfinite(check.value)) continue;
      const std::string text = field(check.value, check.form);
      ASSERT_EQ(text.size(), static_cast<std::size_t>(check.form.width)) << text;
      const std::size_t first = text.find_first_not_of(' ');
      const std::size_t last = text.find_last_not_of(' ');
      const std::string number = text.substr(first, last - first + 1);
      const bool exponent_form = number.find('E') != std::string::npos;
      if (!exponent_form) {
        ASSERT_EQ(text.size() - 1 - last, static_cast<std::size_t>(check.form.closing_blanks))
            << text;
      }
      double back = 0;
      std::from_chars(number.data(), number.data() + number.size(), back);
      if (check.single) {
        ASSERT_EQ(static_cast<float>(back), static_cast<float>(check.value)) << text;
      } else {
        ASSERT_EQ(back, check.value) << text;
      }
      ASSERT_EQ(std::signbit(back), std::signbit(check.value)) << text;
    }
  }
}

}  // namespace
}  // namespace vort

namespace vort {
namespace {

std::string reference_digits(double value, int count, int& exponent) {
  char sci[64];
  const char* end = std::to_chars(sci, sci + sizeof sci, std::fabs(value),
                                  std::chars_format::scientific, count - 1)
                        .ptr;
  const char* mark = sci + 1 + count;
  std::from_chars(mark + (mark[1] == '+' ? 2 : 1), end, exponent);
  return std::string(1, sci[0]) + std::string(sci + 2, static_cast<std::size_t>(count - 1));
}

// The exact integer path for 17 digits agrees with to_chars everywhere: random bit
// patterns, values of the sizes field maps hold, and exact ties (k + 1/2 ulp at 17 digits).
TEST(NumberForm, SeventeenDigitsAgreeWithToChars) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::vector<double> values;
  for (int n = 0; n < 300000; ++n) {
    const std::uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) values.push_back(d);
    values.push_back(unit(random) * std::pow(10.0, static_cast<int>(random() % 40) - 22));
    values.push_back(unit(random) * 1.2566370060085319e-6);
  }
  // A 16-digit odd mantissa over 4, 8 or 16 ends in ...25 or ...75 past the 17th digit:
  // ties, and near-ties, between two 17-digit neighbours.
  for (std::uint64_t m = 0; m < 100000; ++m) {
    const auto mantissa = static_cast<double>((std::uint64_t{1} << 52) + 2 * (random() >> 13) + 1);
    for (const int shift : {-2, -3, -4, -5}) values.push_back(std::ldexp(mantissa, shift));
    values.push_back(std::ldexp(static_cast<double>(m + 1), -40));
  }
  for (const double value : values) {
    if (value == 0) continue;
    char digits[24];
    const int exponent = significant_digits(value, 17, digits);
    int expected_exponent = 0;
    const std::string expected = reference_digits(value, 17, expected_exponent);
    ASSERT_EQ(std::string(digits, 17), expected) << std::hexfloat << value;
    ASSERT_EQ(exponent, expected_exponent) << std::hexfloat << value;
  }
}

}  // namespace
}  // namespace vort
