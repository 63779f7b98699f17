#include "common/grid.hpp"

#include <charconv>
#include <cstdint>

namespace vort {
namespace {

// Digits appended in place: for the chain "(" + std::to_string(i) + ", " + ..., GCC 12 warns
// (-Wrestrict, wrongly) about the copies it inlines.
void append_number(std::string& text, std::int64_t value) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, written.ptr);
}

}  // namespace

std::string counts_text(grid_counts counts) {
  return std::to_string(counts.nx) + " x " + std::to_string(counts.ny) + " x " +
         std::to_string(counts.nz);
}

std::string knot_product_text(grid_counts counts) {
  // Three factors below 2^31 make less than 2^93.
  __extension__ using uint128 = unsigned __int128;
  uint128 product = uint128(counts.nx) * uint128(counts.ny) * uint128(counts.nz);
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(product % 10)));
    product /= 10;
  } while (product > 0);
  return text;
}

std::string knot_text(const knot_walk& knot) {
  std::string text = "(";
  append_number(text, knot.i + 1);
  text += ", ";
  append_number(text, knot.j + 1);
  text += ", ";
  append_number(text, knot.k + 1);
  text += ")";
  return text;
}

}  // namespace vort
