#include "fieldmap/number_form.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vort {
namespace {

char* right_aligned(char* out, int width, const char* text, int length) {
  const int pad = width - length;
  std::memset(out, ' ', static_cast<std::size_t>(pad));
  std::memcpy(out + pad, text, static_cast<std::size_t>(length));
  return out + width;
}

__extension__ using uint128 = unsigned __int128;

// 10^k for k = 0 .. 38, the powers below 2^128.
constexpr int max_power = 38;
constexpr std::array<uint128, max_power + 1> powers_of_ten = [] {
  std::array<uint128, max_power + 1> powers{};
  uint128 power = 1;
  for (uint128& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

constexpr std::uint64_t ten_to_16 = 10000000000000000ULL;
constexpr std::uint64_t ten_to_17 = 100000000000000000ULL;

// round(mantissa * 10^k / 2^shift), ties to even, computed exactly in 192 bits. Returns false
// when the quotient would not fit in 64 bits or the shift is out of range.
bool scaled_round(std::uint64_t mantissa, int k, int shift, std::uint64_t& result) {
  const uint128 power = powers_of_ten[static_cast<std::size_t>(k)];
  const uint128 low = static_cast<uint128>(mantissa) * static_cast<std::uint64_t>(power);
  const uint128 high = static_cast<uint128>(mantissa) * static_cast<std::uint64_t>(power >> 64);
  // The product as three 64-bit limbs, least significant first.
  const std::uint64_t limb0 = static_cast<std::uint64_t>(low);
  const uint128 middle = (low >> 64) + static_cast<std::uint64_t>(high);
  const std::uint64_t limb1 = static_cast<std::uint64_t>(middle);
  const std::uint64_t limb2 = static_cast<std::uint64_t>((high >> 64) + (middle >> 64));
  if (shift < 1 || shift > 190) return false;
  std::uint64_t quotient = 0;
  bool half = false;   // the bit just below the quotient
  bool below = false;  // any bit under that one
  const uint128 lower = (static_cast<uint128>(limb1) << 64) | limb0;
  if (shift < 64) {
    if (limb2 != 0 || (lower >> shift) >> 64 != 0) return false;
    quotient = static_cast<std::uint64_t>(lower >> shift);
    half = ((limb0 >> (shift - 1)) & 1) != 0;
    below = (limb0 & ((std::uint64_t{1} << (shift - 1)) - 1)) != 0;
  } else {
    const uint128 upper = (static_cast<uint128>(limb2) << 64) | limb1;  // the product >> 64
    const int upper_shift = shift - 64;
    if ((upper >> upper_shift) >> 64 != 0) return false;
    quotient = static_cast<std::uint64_t>(upper >> upper_shift);
    const int half_bit = shift - 1;
    if (half_bit >= 64) {
      half = ((upper >> (half_bit - 64)) & 1) != 0;
      const uint128 mask = (static_cast<uint128>(1) << (half_bit - 64)) - 1;
      below = (upper & mask) != 0 || limb0 != 0;
    } else {
      half = ((limb0 >> 63) & 1) != 0;
      below = (limb0 & ((std::uint64_t{1} << 63) - 1)) != 0;
    }
  }
  if (half && (below || (quotient & 1) != 0)) ++quotient;
  result = quotient;
  return true;
}

// 17 digits of a double whose decimal exponent lies in -22 .. 16 and which is not an
// integer of 2^53 or more: mantissa * 2^q with q < 0, so the digits are mantissa * 10^k
// shifted right by -q and rounded, all exact. Returns false outside that range.
bool seventeen_digits(double value, char* digits, int& exponent) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0) return false;  // zero and subnormals
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = biased - 1075;  // value = mantissa * 2^q
  if (q >= 0) return false;
  // floor(log10(value)) is e or e + 1 for this estimate from the binary exponent.
  int e = static_cast<int>(std::floor((q + 52) * 0.30102999566398120));
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int k = 16 - e;
    if (k < 0 || k > max_power) return false;
    std::uint64_t scaled = 0;
    if (!scaled_round(mantissa, k, -q, scaled)) return false;
    if (scaled >= ten_to_17) {
      ++e;
      continue;
    }
    if (scaled < ten_to_16) {
      --e;
      continue;
    }
    for (int place = 16; place >= 0; --place) {
      digits[place] = static_cast<char>('0' + scaled % 10);
      scaled /= 10;
    }
    exponent = e;
    return true;
  }
  return false;
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
  if (count == 17 && seventeen_digits(value, digits, exponent)) return exponent;
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
