// Writing body lines: the values of a grid line along x, taken from a table field, times a
// file's factor, appended to that file's line. The plain body and the mirror expansion both
// write through these.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"
#include "common/work_counter.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// One file of the body and how its values are scaled: the stored half (and every value of
// a map without mirror) by `stored_factor`, the mirror image by `image_factor`.
struct body_file {
  output_file* file;
  int field;
  double stored_factor;
  double image_factor;
};

// Files written together, by one thread; the files of a group never belong to another.
struct body_group {
  const record_table* table;
  mirror_mode mode;
  std::vector<body_file> files;
  work_counter* counter;
  const std::atomic<bool>* stop;  // another group has failed: end early
};

// The factors of a file's values, each formed in single precision and widened: the field
// kind's scale, times its sign for a real part; for the mirror image, times the parity of the
// file's component in the mode.
struct file_factors {
  double stored;
  double image;
};
file_factors factors_of(const file_role& role, const field_kind& kind, mirror_mode mode);

// The six files in their order (real x, y, z, then imaginary x, y, z) with their factors.
std::vector<body_file> body_files(output_set& set, const field_kind& kind, mirror_mode mode);

// Grid line (j, k) of a table field: the values of knots (1 .. Nx, j, k), one after another;
// value i (1-based) is at [i - 1].
const double* table_line(const record_table& table, int field, std::int32_t j, std::int32_t k);

// Appends values i_first, then towards i_last (inclusive, either direction) of a line, times
// `factor`, to the line being written.
void append_values(output_file& file, const double* line, std::int32_t i_first, std::int32_t i_last,
                   double factor);

// One line per file of grid line (j, k), the values times the stored (or image) factor.
void write_plain_row(const body_group& group, std::int32_t j, std::int32_t k, bool image = false);

}  // namespace vort
