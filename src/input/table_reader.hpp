// Reading the solver table into the record table. The table is two header lines (skipped
// unread) and then one record of nine free-form numbers per knot: x, y, z, then the real and
// imaginary parts of the x, y and z field components. Each record starts on a new line; a
// record may run over several lines, and what follows its ninth value on its line is ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/work_counter.hpp"
#include "input/grid_check.hpp"
#include "input/line_counter.hpp"
#include "input/record_table.hpp"

namespace vort {

// Reads up to min(nrec, rows) records into rows 1, 2, ... and returns how many it read. An
// end of file before a record's first value ends the read; inside a record it is an error.
// When every row is filled and the rest of the file still holds a complete record, the
// table has more records than the grid has knots and is refused. The records' positions go
// to `positions` when it is given. With the split that counting the lines found, a large
// plain table is read in two parts at once; the result is the same. Throws `failure` with the
// file, the line and the offending text.
std::int64_t read_table(const std::string& name, std::int32_t nrec, record_table& table,
                        position_spread* positions = nullptr, work_counter* counter = nullptr,
                        const files_analysis::line_count* lines = nullptr);

// A record as the table holds it: its number (from 1), the line of its first value, and its
// nine values, a position left out NaN and a field value left out zero.
struct record_view {
  std::int64_t number;
  std::int64_t line;
  const double* values;
};

// Reads the table's records in order, up to `limit`, and hands each to `visit`, which
// returns false to stop; returns how many were read. Lines after the last record that hold
// no complete record (a trailer of text, a record cut short) end the table; otherwise it
// fails as `read_table` does.
std::int64_t for_each_record(const std::string& name, std::int64_t limit,
                             const std::function<bool(const record_view&)>& visit);

}  // namespace vort
