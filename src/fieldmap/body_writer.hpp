// The body of the six field-map files: one line per grid line parallel to x, z planes in
// increasing order and, within a plane, y lines in increasing order. Each value is a table
// value times the file's factor, formed in single precision and widened: 1 or mu0 in
// magnitude, negative for the real parts of a `B` field. With a mirror, the lines or planes
// go through the mirror expansion, which uses the same line writing.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "input/record_table.hpp"
#include "input/work_counter.hpp"

namespace vort {

// One file of the body and how its values are scaled: the stored half (and every value of
// a map without mirror) by `stored_factor`, the mirror image by `image_factor`.
struct body_file {
  output_file* file;
  int column;
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
  std::vector<double>* scratch;   // the group's own buffer for a gathered z plane
};

// The values of one grid line along x: value i (1-based) is first[(i - 1) * stride].
struct line_values {
  const double* first;
  std::ptrdiff_t stride;
};

// Grid line (j, k) of a table column: the rows plane_start(i) + (j - 1) * Nz + (k - 1).
line_values table_line(const record_table& table, int column, std::int32_t j, std::int32_t k);

// The factors of the six files, in file order 201 to 206.
std::vector<body_file> body_files(output_set& set, const field_kind& kind, mirror_mode mode);

// Writes the whole body of all six files. Large maps are written by two threads, each
// owning three files; every file's bytes are the same as when written alone.
void write_body(output_set& set, const record_table& table, const field_kind& kind,
                mirror_mode mode, work_counter* counter = nullptr);

// The body of one group of files, in the order above.
void write_group_body(const body_group& group);

// Appends values i_first, then towards i_last (inclusive, either direction) of a line, times
// `factor`, to the line being written.
void append_values(output_file& file, line_values line, std::int32_t i_first, std::int32_t i_last,
                   double factor);

// One line per file of grid line (j, k), the values times the stored (or image) factor.
void write_plain_row(const body_group& group, std::int32_t j, std::int32_t k, bool image = false);

}  // namespace vort
