// Grid counts of the solver table and the mirror mode, shared by every later step.
#pragma once

#include <cstdint>

namespace vort {

// Knot counts of the solver table along x, y and z. A mirror doubles only the written map.
struct grid_counts {
  std::int32_t nx = 0;
  std::int32_t ny = 0;
  std::int32_t nz = 0;

  std::int64_t knots() const {
    std::int64_t n = nx;
    return n * ny * nz;
  }
};

enum class mirror_mode { none, yz, xz };

// Case-sensitive: only `Y` and `X` select a mirror; `y`, `x`, `F` and anything else do not.
inline mirror_mode mode_of(char mirror) {
  if (mirror == 'Y') return mirror_mode::yz;
  if (mirror == 'X') return mirror_mode::xz;
  return mirror_mode::none;
}

}  // namespace vort
