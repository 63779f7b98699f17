#include "fieldmap/seventeen_digits.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace vort {
namespace {

__extension__ using uint128 = unsigned __int128;

constexpr std::uint64_t ten_to_16 = 10000000000000000ULL;
constexpr std::uint64_t ten_to_17 = 100000000000000000ULL;

// ---- Writing the digits ------------------------------------------------------------------

// "00" .. "99": two digits per division instead of one.
constexpr std::array<char, 200> digit_pairs = [] {
  std::array<char, 200> pairs{};
  for (int n = 0; n < 100; ++n) {
    pairs[static_cast<std::size_t>(2 * n)] = static_cast<char>('0' + n / 10);
    pairs[static_cast<std::size_t>(2 * n + 1)] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

void write_two(char* out, std::uint64_t two) {
  std::memcpy(out, &digit_pairs[2 * two], 2);
}

// A block of digits as a fraction x / 10^8 in 64 bits: each 64 x 64-bit product with 100 then
// holds the next pair in its upper half and the rest of the fraction in its lower half, one
// multiplication per pair rather than a division and a remainder. The scale
// ceil(2^64 / 10^8) errs by less than 10^9 / 2^64, far under the 10^-8 grid of the digits.
constexpr std::uint64_t block_scale =
    static_cast<std::uint64_t>(((static_cast<uint128>(1) << 64) + 99999999) / 100000000);

// The eight digits after the point of a fraction scaled to 2^64.
void write_eight_after_point(char* out, std::uint64_t fraction) {
  for (int pair = 0; pair < 4; ++pair) {
    const uint128 lifted = static_cast<uint128>(fraction) * 100;
    write_two(out + 2 * pair, static_cast<std::uint64_t>(lifted >> 64));
    fraction = static_cast<std::uint64_t>(lifted);
  }
}

// The 17 digits of 10^16 <= n < 10^17: a leading digit and two blocks of eight.
void write_seventeen(char* out, std::uint64_t n) {
  const std::uint64_t upper_nine = n / 100000000;
  const std::uint64_t lower_eight = n - upper_nine * 100000000;
  const uint128 upper = static_cast<uint128>(upper_nine) * block_scale;
  out[0] = static_cast<char>('0' + static_cast<std::uint64_t>(upper >> 64));
  write_eight_after_point(out + 1, static_cast<std::uint64_t>(upper));
  write_eight_after_point(out + 9, lower_eight * block_scale);  // below 1, so below 2^64
}

// ---- The table of truncated powers of ten ------------------------------------------------

// 10^k for smallest_power <= k <= largest_power: from the threshold 10^(e + 1) of the
// smallest decimal exponent, e = -324, to the scale 10^(16 - e) that the same e needs.
constexpr int smallest_power = -323;
constexpr int largest_power = 340;
constexpr int power_count = largest_power - smallest_power + 1;

// 10^k = (value + delta) * 2^binary_power_exponent(k) with value in [2^127, 2^128) and
// 0 <= delta < 1. Truncating, not rounding, gives the product's error one sign: the
// computed product is never above the exact one.
struct truncated_power {
  std::uint64_t high;
  std::uint64_t low;
};

// floor(k * log2(10)) - 127; the table construction below checks it for every k.
constexpr int binary_power_exponent(int k) {
  return ((k * 1741647) >> 19) - 127;
}

// 5^55 < 2^128 <= 5^56: up to 10^55 the 128 bits hold the power exactly.
constexpr int largest_exact_power = 55;

// An unsigned integer wide enough for 10^340 and for 2^1279 / 10^323 with 128 bits to spare,
// used only while the compiler builds the table.
struct wide_integer {
  static constexpr int limb_count = 20;
  std::array<std::uint64_t, limb_count> limbs{};  // least significant first

  constexpr void multiply_by_ten() {
    std::uint64_t carry = 0;
    for (std::uint64_t& limb : limbs) {
      const uint128 product = static_cast<uint128>(limb) * 10 + carry;
      limb = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
  }

  // Floor division; repeated, it stays exact: floor(floor(x / a) / b) = floor(x / (a b)).
  constexpr void divide_by_ten() {
    std::uint64_t remainder = 0;
    for (int i = limb_count - 1; i >= 0; --i) {
      const uint128 dividend = (static_cast<uint128>(remainder) << 64) | limb(i);
      limbs[static_cast<std::size_t>(i)] = static_cast<std::uint64_t>(dividend / 10);
      remainder = static_cast<std::uint64_t>(dividend % 10);
    }
  }

  constexpr std::uint64_t limb(int i) const {
    return i < limb_count ? limbs[static_cast<std::size_t>(i)] : 0;
  }

  constexpr int bit_length() const {
    for (int i = limb_count - 1; i >= 0; --i) {
      if (limb(i) != 0) return 64 * i + std::bit_width(limb(i));
    }
    return 0;
  }

  // Bits first .. first + 63.
  constexpr std::uint64_t bits_from(int first) const {
    const int i = first / 64;
    const int offset = first % 64;
    return offset == 0 ? limb(i) : (limb(i) >> offset) | (limb(i + 1) << (64 - offset));
  }

  constexpr bool zero_below(int first) const {
    for (int bit = 0; bit < first; bit += 64) {
      const int count = first - bit < 64 ? first - bit : 64;
      const std::uint64_t mask = count == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
      if ((bits_from(bit) & mask) != 0) return false;
    }
    return true;
  }
};

struct power_table {
  std::array<truncated_power, power_count> powers{};
  bool consistent = true;  // every exponent and exactness as the kernel computes them
};

// The leading 128 bits of n, which stands for 10^k scaled by 2^scale.
constexpr void store_leading_bits(power_table& table, const wide_integer& n, int k, int scale) {
  const int length = n.bit_length();
  const int first = length - 128;
  truncated_power& power = table.powers[static_cast<std::size_t>(k - smallest_power)];
  if (first >= 0) {
    power = {n.bits_from(first + 64), n.bits_from(first)};
  } else {
    const uint128 value = ((static_cast<uint128>(n.limb(1)) << 64) | n.limb(0)) << -first;
    power = {static_cast<std::uint64_t>(value >> 64), static_cast<std::uint64_t>(value)};
  }
  const bool exact = k >= 0 && (first <= 0 || n.zero_below(first));
  const bool low_72_bits_zero = power.low == 0 && (power.high & 0xff) == 0;
  table.consistent = table.consistent && first - scale == binary_power_exponent(k) &&
                     exact == (k >= 0 && k <= largest_exact_power) && (exact || !low_72_bits_zero);
}

constexpr power_table build_power_table() {
  power_table table;
  wide_integer n;
  n.limbs[0] = 1;
  for (int k = 0; k <= largest_power; ++k) {
    store_leading_bits(table, n, k, 0);
    n.multiply_by_ten();
  }
  constexpr int scale = 64 * wide_integer::limb_count - 1;
  wide_integer reciprocal;  // floor(2^scale / 10^-k)
  reciprocal.limbs[wide_integer::limb_count - 1] = std::uint64_t{1} << 63;
  for (int k = -1; k >= smallest_power; --k) {
    reciprocal.divide_by_ten();
    store_leading_bits(table, reciprocal, k, scale);
  }
  return table;
}

constexpr power_table table = build_power_table();
static_assert(table.consistent);

struct power_entry {
  uint128 value;
  bool exact;  // no delta: the product is exact
};

template <int dropped_power_bits>
power_entry power_of_ten(int k) {
  static_assert(dropped_power_bits >= 0 && dropped_power_bits <= 64);
  const truncated_power& power = table.powers[static_cast<std::size_t>(k - smallest_power)];
  const uint128 full = (static_cast<uint128>(power.high) << 64) | power.low;
  const uint128 kept = full >> dropped_power_bits << dropped_power_bits;
  return {kept, kept == full && static_cast<unsigned>(k) <= largest_exact_power};
}

// ---- The fast kernel ---------------------------------------------------------------------

// |value| = mantissa * 2^exponent, the mantissa in [2^52, 2^53) (subnormals shifted up to
// it), or a zero mantissa for a value the kernel does not take.
struct binary_value {
  std::uint64_t mantissa;
  int exponent;
};

constexpr int smallest_binary_exponent = -1074 - 52;  // 2^-1074 with its mantissa shifted up
constexpr int largest_binary_exponent = 1023 - 52;

binary_value normalized(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7ff) return {0, 0};
  if (biased != 0) return {fraction | (std::uint64_t{1} << 52), biased - 1075};
  if (fraction == 0) return {0, 0};
  const int shift = std::countl_zero(fraction) - 11;
  return {fraction << shift, -1074 - shift};
}

// floor(x * log10(2)) for |x| <= 2620: the decimal exponent of 2^x.
constexpr int decimal_exponent_of_power_of_two(int x) {
  return (x * 78913) >> 18;
}

// Whether v >= 10^(first + 1), the one power of ten a binade starting in decade `first` can
// hold. Scaled by 2^(64 - exponent), v is the mantissa shifted by 8 to 11 bits, and the
// comparison with the truncated power is exact: the table holds no inexact power whose low
// 72 bits, all zero in that shifted mantissa, are all zero.
bool reaches_next_decade(const binary_value& v, int first) {
  const truncated_power& next = table.powers[static_cast<std::size_t>(first + 1 - smallest_power)];
  const int shift = v.exponent - binary_power_exponent(first + 1);
  const uint128 scaled = static_cast<uint128>(v.mantissa << (shift - 64)) << 64;
  return scaled >= ((static_cast<uint128>(next.high) << 64) | next.low);
}

// 10^(16 - e), which scales a value of decade e to 17 digits, and the bits the product of the
// mantissa and that power has to spare: shifting the mantissa up by them puts the integer
// part of the product in its upper 64 bits and the fraction in its lower 128. A 179- to
// 181-bit product with an integer part of 2^53.1 .. 2^56.5 has 123 to 127 fraction bits.
struct decade_scale {
  power_entry power;
  int spare_bits;
};

template <int dropped_power_bits>
decade_scale scale_for_decade(const binary_value& v, int e) {
  return {power_of_ten<dropped_power_bits>(16 - e),
          128 + v.exponent + binary_power_exponent(16 - e)};
}

// Rounding decisions on a fraction scaled to 2^128.
constexpr uint128 half = static_cast<uint128>(1) << 127;

// round(v * 10^(16 - e)), ties to even, from one product with the truncated power, or
// nothing where the truncation leaves the rounding open.
std::optional<std::uint64_t> rounded_scaled(const binary_value& v, const decade_scale& scale,
                                            int dropped_power_bits) {
  const std::uint64_t mantissa = v.mantissa << scale.spare_bits;
  const uint128 power = scale.power.value;
  const uint128 low = static_cast<uint128>(mantissa) * static_cast<std::uint64_t>(power);
  const uint128 high = static_cast<uint128>(mantissa) * static_cast<std::uint64_t>(power >> 64);
  const uint128 middle = (low >> 64) + static_cast<std::uint64_t>(high);
  const auto integer = static_cast<std::uint64_t>((high >> 64) + (middle >> 64));
  const uint128 fraction = (middle << 64) | static_cast<std::uint64_t>(low);

  // Up when the fraction passes the half, or meets it with an odd integer when the product
  // is exact: the carry out of fraction + half - 1 + that tie-break. With a truncated power
  // the exact fraction is larger by a positive amount below `error_bound`, so the half
  // itself is already past; only a fraction just under the half stays open.
  const bool exact = scale.power.exact;
  const std::uint64_t tie_break = exact ? integer & 1 : 1;
  const uint128 sum = fraction + (half - 1 + tie_break);
  const bool up = sum < fraction;
  const uint128 error_bound = exact ? 0 : static_cast<uint128>(mantissa) << dropped_power_bits;
  if (fraction < half && fraction + error_bound > half) [[unlikely]] {
    return std::nullopt;
  }
  return integer + up;
}

// Every table index and shift of the kernel stays in range, for every binade and the one or
// two decades its values fall in.
constexpr bool kernel_ranges_hold() {
  for (int q = smallest_binary_exponent; q <= largest_binary_exponent; ++q) {
    const int first = decimal_exponent_of_power_of_two(q + 52);
    // At least 72 for the exact comparison, and a shifted mantissa within 64 bits.
    const int threshold_shift = q - binary_power_exponent(first + 1);
    if (first + 1 < smallest_power || threshold_shift < 72 || threshold_shift > 75) return false;
    // A mantissa below 2^53 reaches a power of 2^127 or more only from a shift of 75.
    const int last = threshold_shift == 75 ? first + 1 : first;
    for (int e = first; e <= last; ++e) {
      const int spare_bits = 128 + q + binary_power_exponent(16 - e);
      if (16 - e > largest_power || spare_bits < 0 || spare_bits > 11) return false;
    }
  }
  return true;
}
static_assert(kernel_ranges_hold());

}  // namespace

template <int dropped_power_bits>
bool fast_seventeen_digits(double value, char* digits, int& exponent) {
  const binary_value v = normalized(value);
  if (v.mantissa == 0) return false;
  const int first = decimal_exponent_of_power_of_two(v.exponent + 52);
  int e = first + reaches_next_decade(v, first);
  const std::optional<std::uint64_t> rounded =
      rounded_scaled(v, scale_for_decade<dropped_power_bits>(v, e), dropped_power_bits);
  if (!rounded) return false;
  std::uint64_t n = *rounded;
  // Rounded up to 10^17: the digits of 10^(e + 1), which the value also rounds to there.
  if (n == ten_to_17) [[unlikely]] {
    n = ten_to_16;
    ++e;
  }
  write_seventeen(digits, n);
  exponent = e;
  return true;
}

template bool fast_seventeen_digits<0>(double, char*, int&);
template bool fast_seventeen_digits<coarse_table_dropped_bits>(double, char*, int&);

}  // namespace vort
