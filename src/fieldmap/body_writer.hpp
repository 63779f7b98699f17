// The body of the six field-map files: one line per grid line of the map parallel to x, z
// planes in increasing order and, within a plane, y lines in increasing order. Each value is a
// table value times the file's factor, formed in single precision and widened: 1 or mu0 in
// magnitude, negative for the real parts of a `B` field, and for a mirror image times the
// parity of the file's component in each plane it is reflected in.
#pragma once

#include "common/work_counter.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "input/record_table.hpp"
#include "input/symmetry.hpp"

namespace vort {

// Writes the whole body of all six files. Large maps are written by two threads, each
// owning three files; every file's bytes are the same as when written alone.
void write_body(output_set& set, const record_table& table, const field_kind& kind,
                const map_symmetry& symmetry, work_counter* counter = nullptr);

}  // namespace vort
