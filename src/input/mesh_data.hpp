// The mesh answer: nine single-precision values in metres, typed in the order xmin, ymin,
// zmin, xmax, ymax, zmax, dx, dy, dz, and kept per axis. The minima and the steps place the
// map's knots; the maxima are read, and only compared with the table's positions.
#pragma once

#include <array>

namespace vort {

// Magnitudes from here on round to infinity in single precision; below it they round to a
// finite value, FLT_MAX at most (3.4028235e38, the usual text of FLT_MAX, does).
inline constexpr double single_overflow = 0x1.ffffffp127;

inline constexpr int mesh_values = 9;

struct mesh_data {
  std::array<float, 3> min{};   // xmin, ymin, zmin: the first knot
  std::array<float, 3> max{};   // xmax, ymax, zmax: the last knot
  std::array<float, 3> step{};  // dx, dy, dz
};

// Value n (0 to 8) in the typed order.
inline float& typed_value(mesh_data& mesh, int n) {
  return (n < 3 ? mesh.min : n < 6 ? mesh.max : mesh.step)[static_cast<std::size_t>(n % 3)];
}
inline float typed_value(const mesh_data& mesh, int n) {
  return (n < 3 ? mesh.min : n < 6 ? mesh.max : mesh.step)[static_cast<std::size_t>(n % 3)];
}

}  // namespace vort
