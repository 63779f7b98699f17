// A map read back compared with the map a table makes: each body line is made again by the
// body writer, from the table with the field kind and the symmetry of its conversion, and
// compared byte for byte with the line read, so that nothing but the writer decides what a
// value's text should be.
#pragma once

#include <atomic>
#include <memory>

#include "fieldmap/field_kind.hpp"
#include "fieldmap/line_writer.hpp"
#include "fieldmap/map_layout.hpp"
#include "fieldmap/map_reading.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// The writer's view of the table; `group` points into the rest, so it stays where it is made.
struct map_comparison {
  map_layout layout;
  std::atomic<bool> never_stop{false};
  body_group group;
};

// For a table whose map has the knots of the map read back (the caller makes sure).
std::unique_ptr<map_comparison> compare_with(const record_table& table, const field_kind& kind,
                                             const map_symmetry& symmetry);

// The check of a line against the line the table makes: the first value that differs, with
// its text and the table's.
body_line_check line_comparison(const map_comparison& comparison);

}  // namespace vort
