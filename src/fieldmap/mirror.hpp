// The mirror expansion: the whole map from a table of one half of a structure whose
// symmetry plane is a magnetic mirror. The stored half comes first, with the factor of the
// plain lines; then its image, with the factor times the parity of the file's component,
// the knots on the mirror plane written once.
//   YZ mirror: each line holds x = 1 .. Nx, then Nx - 1 .. 1 mirrored (2 Nx - 1 values).
//   XZ mirror: each z plane holds the lines y = 1 .. Ny, then Ny - 1 .. 1 mirrored.
#pragma once

#include <cstdint>

#include "fieldmap/line_writer.hpp"

namespace vort {

void write_yz_mirror_row(const body_group& group, std::int32_t j, std::int32_t k);
void write_xz_mirror_plane(const body_group& group, std::int32_t k);

}  // namespace vort
