// The 17 significant digits of a double, the digits of every double-precision field.
//
// Each function takes a finite, nonzero value, writes its 17 digits correctly rounded (ties
// to even) to `digits` without a point, sets `exponent` to the decimal exponent of the first
// digit and returns true; or it returns false, writes nothing, and leaves the value to a
// slower path.
#pragma once

namespace vort {

// One product of the binary mantissa and a 128-bit truncated power of ten. It returns false
// only where the truncation could change the rounded digits; with the full table that
// happens for no double (a search over every binade and decade finds none), so the general
// path behind it is a safety net.
//
// `dropped_power_bits` clears that many low bits of every power: a cruder table whose wider
// undecided window drives many values down the fallback, which is how the tests reach it.
// The converter uses the full table.
template <int dropped_power_bits = 0>
bool fast_seventeen_digits(double value, char* digits, int& exponent);

// A table cut to its upper 64 bits, for the tests.
inline constexpr int coarse_table_dropped_bits = 64;

extern template bool fast_seventeen_digits<0>(double, char*, int&);
extern template bool fast_seventeen_digits<coarse_table_dropped_bits>(double, char*, int&);

}  // namespace vort
