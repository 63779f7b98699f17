#include "fieldmap/axis_profile.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>
#include <numbers>

namespace vort {
namespace {

constexpr double speed_of_light = 299792458.0;  // m/s

// |Fz| at knot n, or |F| over all three components for an axial field.
double magnitude_at(const axis_profile& profile, std::size_t n, bool axial) {
  const auto& p = profile.parts;
  const double z = std::hypot(p[4][n], p[5][n]);
  if (!axial) return z;
  return std::hypot(std::hypot(p[0][n], p[1][n]), std::hypot(p[2][n], p[3][n]), z);
}

void take_peak(on_axis_figures& figures, const axis_profile& profile, bool axial) {
  for (std::size_t n = 0; n < profile.z.size(); ++n) {
    const double magnitude = magnitude_at(profile, n, axial);
    if (n == 0 || magnitude > figures.peak) {
      figures.peak = magnitude;
      figures.peak_z = profile.z[n];
    }
  }
}

// Trapezoids over the knots; the z axis may fall, so each step counts by its length.
double integral_of_abs_fz(const axis_profile& profile) {
  double sum = 0;
  for (std::size_t n = 1; n < profile.z.size(); ++n) {
    const double length = std::fabs(profile.z[n] - profile.z[n - 1]);
    sum += 0.5 * length *
           (std::hypot(profile.parts[4][n - 1], profile.parts[5][n - 1]) +
            std::hypot(profile.parts[4][n], profile.parts[5][n]));
  }
  return sum;
}

// The weights of a segment's two knots in the integral of e^{i theta t} times the field
// linear between them, over t from 0 to 1: the field as the profile draws it, integrated
// exactly, so a coarse grid at a low beta loses no more than its interpolation does.
std::array<std::complex<double>, 2> segment_weights(double theta) {
  using namespace std::complex_literals;
  if (std::fabs(theta) < 1e-4) {  // the series, where the closed form would cancel
    const std::complex<double> lower = 0.5 + 1i * theta / 6.0, upper = 0.5 + 1i * theta / 3.0;
    return {lower, upper};
  }
  const std::complex<double> turn = std::polar(1.0, theta);
  const std::complex<double> whole = (turn - 1.0) / (1i * theta);
  const std::complex<double> upper = turn / (1i * theta) + (turn - 1.0) / (theta * theta);
  return {whole - upper, upper};
}

// |integral Ez(z) e^{i k z} dz|: the voltage that a particle crossing at the best phase sees,
// with k = w / (beta c). A falling axis turns the integral's sign only.
double voltage_of(const axis_profile& profile, double wave_number) {
  std::complex<double> sum = 0;
  const auto ez = [&](std::size_t m) {
    return std::complex<double>(profile.parts[4][m], profile.parts[5][m]);
  };
  for (std::size_t n = 1; n < profile.z.size(); ++n) {
    const double step = profile.z[n] - profile.z[n - 1];
    const std::array<std::complex<double>, 2> weights = segment_weights(wave_number * step);
    sum += step * std::polar(1.0, wave_number * profile.z[n - 1]) *
           (weights[0] * ez(n - 1) + weights[1] * ez(n));
  }
  return std::abs(sum);
}

}  // namespace

std::optional<axis_cell> cell_of(const std::vector<float>& axis, double at_given) {
  if (axis.empty() || !(std::fabs(at_given) <= std::numeric_limits<float>::max())) {
    return std::nullopt;
  }
  // The knots are single-precision numbers: a coordinate typed as the map prints a knot (0.7
  // for the knot 0.69999999) names that knot, though the two differ in double precision.
  const float as_knot = static_cast<float>(at_given);
  if (axis.size() == 1) {
    if (as_knot != axis.front()) return std::nullopt;
    return axis_cell{0, 0};
  }
  const bool rising = axis.front() < axis.back();
  const double low = rising ? axis.front() : axis.back();
  const double high = rising ? axis.back() : axis.front();
  if (!(as_knot >= low && as_knot <= high)) return std::nullopt;
  const double at = std::clamp(at_given, low, high);
  // The first knot beyond `at` in the axis's direction; `at` lies in the cell before it.
  const auto beyond =
      rising ? std::upper_bound(axis.begin(), axis.end(), at,
                                [](double a, float knot) { return a < static_cast<double>(knot); })
             : std::upper_bound(axis.begin(), axis.end(), at,
                                [](double a, float knot) { return a > static_cast<double>(knot); });
  const auto size = static_cast<std::ptrdiff_t>(axis.size());
  const std::ptrdiff_t below = std::clamp<std::ptrdiff_t>(beyond - axis.begin() - 1, 0, size - 2);
  const double lower = axis[static_cast<std::size_t>(below)];
  const double upper = axis[static_cast<std::size_t>(below + 1)];
  const double weight = (at - lower) / (upper - lower);
  return axis_cell{static_cast<int>(below), std::clamp(weight, 0.0, 1.0)};
}

on_axis_figures figures_of(const axis_profile& profile, bool axial, const rf_settings& rf) {
  on_axis_figures figures;
  take_peak(figures, profile, axial);
  figures.integral_abs = integral_of_abs_fz(profile);
  if (rf.frequency && !axial) {
    const double wave_number = 2 * std::numbers::pi * *rf.frequency / (rf.beta * speed_of_light);
    figures.voltage = voltage_of(profile, wave_number);
    if (figures.integral_abs > 0) {
      figures.transit_time_factor = *figures.voltage / figures.integral_abs;
    }
  }
  return figures;
}

}  // namespace vort
