#include "fieldmap/number_form.hpp"

#include <gtest/gtest.h>

#include "fieldmap/seventeen_digits.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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
      // The point after every count of leading digits, either sign.
      {0.99999999999999989, " 0.99999999999999989     "},
      {-9.9999999999999982, " -9.9999999999999982     "},
      {-123.456, " -123.45600000000000     "},
      {12345678.9, "  12345678.900000000     "},
      {-1234567890123456.8, " -1234567890123456.8     "},
      {1e16, "  10000000000000000.     "},
      {-0.0125, " -1.2500000000000001E-002"},
      {-4.5e-320, " -4.4999499023220735E-320"},
  };
  for (const form_case& c : cases) {
    EXPECT_EQ(field(c.value, double_form), c.text) << c.value;
    // Read back: in the form, and the same value.
    EXPECT_TRUE(in_number_form(c.text.data(), double_form)) << c.text;
    EXPECT_EQ(value_of_field(c.text.data(), double_form), c.value) << c.text;
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
    EXPECT_TRUE(in_number_form(c.text.data(), single_form)) << c.text;
    EXPECT_EQ(static_cast<float>(value_of_field(c.text.data(), single_form)),
              static_cast<float>(c.value))
        << c.text;
  }
}

// Fields a map read back may hold that no value is written as: each breaks one rule of the
// layout, so the check of a written map refuses them.
TEST(NumberForm, FieldsOutOfForm) {
  const std::vector<std::pair<std::string, const number_form*>> cases = {
      {"  1.000000000000000x     ", &double_form},  // a letter among the digits
      {"  1.000000000000000      ", &double_form},  // a digit short
      {" 1.0000000000000000      ", &double_form},  // the point one place left
      {"  01.000000000000000     ", &double_form},  // a leading zero
      {"  0.1000000000000000     ", &double_form},  // below 1 written as from 1 on
      {" 0.01000000000000000     ", &double_form},  // below 0.1 in fixed form
      {"  1.0000000000000000E-001", &double_form},  // 0.1 in exponent form
      {"  1.0000000000000000E+016", &double_form},  // 10^16 in exponent form
      {"  1.0000000000000000E+400", &double_form},  // beyond double precision
      {"  0.0000000000000000E-005", &double_form},  // a zero first digit
      {"  1.0000000000000000e-005", &double_form},  // a lower-case mark
      {"  1.0000000000000000E 005", &double_form},  // no exponent sign
      {" +1.0000000000000000     ", &double_form},  // a plus sign
      {"--1.0000000000000000     ", &double_form},  // two signs
      {"  1.0000000000000000    x", &double_form},  // text in the closing blanks
      {"                      NaN", &double_form},
      {"                 Infinity", &double_form},
      {"                         ", &double_form},
      {"  1.0000000E+38 ", &single_form},  // a digit short in exponent form
      {"  1.00000000E+39", &single_form},  // beyond single precision
      {"  3.0000000     ", &single_form},  // a digit short
      {" 3.00000000     ", &single_form},  // the point one place left
  };
  for (const auto& [text, form] : cases) {
    EXPECT_FALSE(in_number_form(text.data(), *form)) << '"' << text << '"';
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
      ASSERT_TRUE(in_number_form(text.data(), check.form)) << text;
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

// ---- The 17-digit kernels against to_chars ------------------------------------------------

double from_bits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// `per_binade` random mantissas of either sign in every binary exponent, subnormals included.
std::vector<double> every_binade(std::mt19937_64& random, int per_binade) {
  std::vector<double> values;
  for (std::uint64_t biased = 0; biased < 0x7ff; ++biased) {
    for (int n = 0; n < per_binade; ++n) {
      const std::uint64_t bits = (random() & 0x800fffffffffffffULL) | biased << 52;
      if ((bits & 0x7fffffffffffffffULL) != 0) values.push_back(from_bits(bits));
    }
  }
  return values;
}

// Exact ties between two 17-digit neighbours and the doubles one ulp either side. A tie
// v * 10^k = I + 1/2 makes v = c * 2^-(k + 1) with c = (2I + 1) / 5^k odd and below 2^53,
// which 17 digits allow for k = 1 .. 24 only.
std::vector<double> ties_and_neighbours(std::mt19937_64& random, int per_decade) {
  std::vector<double> values;
  for (int k = 1; k <= 24; ++k) {
    const auto five_to_k = static_cast<std::uint64_t>(std::pow(5.0, k));
    const std::uint64_t lowest = (20000000000000000ULL + five_to_k - 1) / five_to_k;
    const std::uint64_t highest = std::min(199999999999999999ULL / five_to_k, (1ULL << 53) - 1);
    for (int n = 0; n < per_decade; ++n) {
      const std::uint64_t c = (lowest + random() % (highest - lowest + 1)) | 1;
      if (c > highest) continue;
      const double tie = std::ldexp(static_cast<double>(c), -(k + 1));
      values.insert(values.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300)});
    }
  }
  return values;
}

// Every power of ten and of two a double comes nearest to, and their neighbours.
std::vector<double> powers_and_neighbours() {
  std::vector<double> values;
  for (int j = -323; j <= 308; ++j) {
    const std::string text = "1e" + std::to_string(j);
    double power = 0;
    std::from_chars(text.data(), text.data() + text.size(), power);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300)});
  }
  for (int j = -1074; j <= 1023; ++j) {
    const double power = std::ldexp(1.0, j);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300)});
  }
  values.erase(std::remove(values.begin(), values.end(), 0.0), values.end());
  return values;
}

struct value_family {
  std::string name;
  std::vector<double> values;
};

const std::vector<value_family>& families() {
  static const std::vector<value_family> all = [] {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<double> bit_patterns;
    std::vector<double> field_like;
    for (int n = 0; n < 100000; ++n) {
      const double value = from_bits(random());
      if (std::isfinite(value) && value != 0) bit_patterns.push_back(value);
      const int decade = static_cast<int>(random() % 10) - 3;
      field_like.push_back(unit(random) * 1.2566370060085319e-6 * std::pow(10.0, decade));
    }
    return std::vector<value_family>{{"random bit patterns", bit_patterns},
                                     {"every binade", every_binade(random, 24)},
                                     {"field-like", field_like},
                                     {"ties", ties_and_neighbours(random, 2000)},
                                     {"powers", powers_and_neighbours()}};
  }();
  return all;
}

using digits_function = bool (*)(double, char*, int&);

// Runs `kernel` over every family; returns how many values it declined, per family, and
// fails on any digits or exponent it wrote that differ from to_chars.
std::vector<int> declined_by(digits_function kernel) {
  std::vector<int> declined(families().size(), 0);
  for (std::size_t f = 0; f < families().size(); ++f) {
    for (const double value : families()[f].values) {
      char digits[24];
      int exponent = 0;
      if (!kernel(value, digits, exponent)) {
        ++declined[f];
        continue;
      }
      int expected_exponent = 0;
      const std::string expected = reference_digits(value, 17, expected_exponent);
      EXPECT_EQ(std::string(digits, 17), expected)
          << families()[f].name << " " << std::hexfloat << value;
      EXPECT_EQ(exponent, expected_exponent) << families()[f].name << " " << std::hexfloat << value;
      if (::testing::Test::HasFailure()) return declined;
    }
  }
  return declined;
}

// With the full table the fast kernel decides every double, and what it decides matches.
TEST(NumberFormKernel, FastPathMatchesToCharsAndDecidesEveryValue) {
  const std::vector<int> fast_declined = declined_by(fast_seventeen_digits<0>);
  for (const int declined : fast_declined) EXPECT_EQ(declined, 0);
}

// A table cut to 64 bits widens the undecided window to about 2^-8.5 of a unit, so about 0.3%
// of random values land in it; every value the cruder kernel still decides has to come out
// right, which holds only if the window sits on the right side of the half and is wide
// enough, and the count holds only if it is not much wider.
TEST(NumberFormKernel, CoarseTableFallsBackWhereItCannotDecide) {
  const std::vector<int> declined = declined_by(fast_seventeen_digits<coarse_table_dropped_bits>);
  EXPECT_GT(declined[0], 100) << "random bit patterns";
  EXPECT_LT(declined[0], 1000) << "random bit patterns";
  EXPECT_GT(declined[1], 50) << "every binade";
  EXPECT_LT(declined[1], 500) << "every binade";
}

struct digits_case {
  double value;
  std::string digits;
  int exponent;
};

// The doubles nearest below a 17-digit tie in the whole range, 2^-64.5 .. 2^-60 of a unit
// from it (found by a search over every binade and decade; digits by exact rational
// arithmetic): the hardest cases for a truncated power, but still outside its window.
TEST(NumberFormKernel, NearestApproachesToTies) {
  const std::vector<digits_case> cases = {
      {0x1.3de005bd620dfp+216, "13076622631878654", 65},
      {0x1.7c0747bd76fa1p-814, "13588129002659584", -245},
      {0x1.3de005bd620dfp+215, "65383113159393268", 64},
      {0x1.7c0747bd76fa1p-815, "67940645013297918", -246},
      {0x1.59a2783ce70abp-329, "12345501366327440", -99},
      {0x1.edac8039173c0p+532, "27111767708322121", 160},
      {0x1.1d467e94b856ep-752, "47040027951341198", -227},
      {0x1.6e22db4568793p-247, "63240271545917571", -75},
      {0x1.e735b3003e352p+455, "17706146115181413", 137},
  };
  for (const digits_case& c : cases) {
    char digits[24];
    int exponent = 0;
    ASSERT_TRUE(fast_seventeen_digits(c.value, digits, exponent)) << std::hexfloat << c.value;
    EXPECT_EQ(std::string(digits, 17), c.digits) << std::hexfloat << c.value;
    EXPECT_EQ(exponent, c.exponent) << std::hexfloat << c.value;
  }
}

// Millions of random mantissas in every binade; minutes under the sanitizers, so only with
// VORT2PELTA_LONG_TESTS set.
TEST(NumberFormKernel, LongSweepOfEveryBinade) {
  if (std::getenv("VORT2PELTA_LONG_TESTS") == nullptr)
    GTEST_SKIP() << "VORT2PELTA_LONG_TESTS unset";
  std::mt19937_64 random(7);
  for (int round = 0; round < 64; ++round) {
    for (const double value : every_binade(random, 1024)) {
      char digits[24];
      int exponent = 0;
      int expected_exponent = 0;
      ASSERT_TRUE(fast_seventeen_digits(value, digits, exponent)) << std::hexfloat << value;
      ASSERT_EQ(std::string(digits, 17), reference_digits(value, 17, expected_exponent))
          << std::hexfloat << value;
      ASSERT_EQ(exponent, expected_exponent) << std::hexfloat << value;
    }
  }
}

}  // namespace
}  // namespace vort
