// The field kind chosen by the field flag: the scale and sign of the written values and the
// extensions of the six files. `E` writes values as read; `B` multiplies by the vacuum
// permeability and turns the sign of the real parts; any other flag scales by it unsigned.
#pragma once

#include <array>
#include <string_view>

namespace vort {

// Vacuum permeability as a single-precision number (bits 0x35A8A9B8).
inline constexpr float vacuum_mu0 = 1.256637e-6f;

struct field_kind {
  float scale = vacuum_mu0;  // 1 for `E`, mu0 for every other flag
  float field_sign = 1.0f;   // the real parts' sign: -1 for `B`
  bool axial = false;        // B is an axial vector; E, and any other flag, a polar one
  std::array<std::string_view, 3> ext{".ex", ".ey", ".ez"};
};

// Compared case-sensitively: `e`, `b` and a blank are "any other flag".
field_kind select_field_kind(char field_id);

}  // namespace vort
