#include "common/grid.hpp"

#include <vector>

namespace vort {

std::string counts_text(grid_counts counts) {
  return std::to_string(counts.nx) + " x " + std::to_string(counts.ny) + " x " +
         std::to_string(counts.nz);
}

std::string knot_product_text(grid_counts counts) {
  std::vector<std::int64_t> digits{1};  // least significant first
  for (const std::int64_t factor : {counts.nx, counts.ny, counts.nz}) {
    std::int64_t carry = 0;
    for (std::int64_t& digit : digits) {
      carry += digit * factor;  // below 2^31 * 10: no overflow
      digit = carry % 10;
      carry /= 10;
    }
    for (; carry > 0; carry /= 10) digits.push_back(carry % 10);
  }
  std::string text;
  for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
    text += static_cast<char>('0' + *digit);
  }
  return text;
}

}  // namespace vort
