// Writing body lines: the values of a grid line along x, taken from a table field, times a
// file's factor, appended to that file's line, run by run of the map's x knots.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "common/grid.hpp"
#include "common/work_counter.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_layout.hpp"
#include "fieldmap/output_files.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// The factors of a file's values, each formed in single precision and widened: the field
// kind's scale, times its sign for a real part; for a mirror image, times the parity of the
// file's component in each plane the knot is an image across. Indexed by that set of planes.
struct file_factors {
  std::array<double, image_masks> by_images;
};
file_factors factors_of(const file_role& role, const field_kind& kind,
                        const map_symmetry& symmetry);

// One file of the body and how its values are scaled.
struct body_file {
  staged_file* file;
  int field;
  file_factors factors;
};

// The body's files and what their lines are made of, shared by the threads that write them.
struct body_group {
  const record_table* table;
  const map_layout* layout;
  std::vector<knot_run> x_runs;
  std::vector<body_file> files;
  work_counter* counter;
  const std::atomic<bool>* stop;  // another thread has failed: end early
};

// The six files in their order (real x, y, z, then imaginary x, y, z) with their factors.
std::vector<body_file> body_files(output_set& set, const field_kind& kind,
                                  const map_symmetry& symmetry);

// Grid line (j, k) of a table field: the values of knots (1 .. Nx, j, k), one after another;
// value i (1-based) is at [i - 1].
const double* table_line(const record_table& table, int field, std::int32_t j, std::int32_t k);

// Appends values i_first, then towards i_last (inclusive, either direction) of a line, times
// `factor`, to the line being written.
void append_values(text_sink& sink, const double* line, std::int32_t i_first, std::int32_t i_last,
                   double factor);

// The line of one file for the map's line (q, r): its y knot q and z knot r, 0-based.
void write_map_line(const body_group& group, const body_file& file, text_sink& sink, std::int64_t q,
                    std::int64_t r);

}  // namespace vort
