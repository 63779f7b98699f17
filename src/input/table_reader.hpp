// Reading the solver table. The table is two header lines (skipped unread) and then one
// record of nine free-form numbers per knot: x, y, z, then the real and imaginary parts of the
// x, y and z field components. Each record starts on a new line; a record may run over several
// lines, and what follows its ninth value on its line is ignored.
//
// The records end at the end of the file, or where a line starts with something that is not
// a number (a trailer of text), provided that no complete record follows anywhere after it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/failure.hpp"
#include "common/work_counter.hpp"
#include "input/line_counter.hpp"
#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"

namespace vort {

inline constexpr int record_values = 9;  // in a record of the file: x, y, z, then the fields

// Reads the records into the table's rows, up to as many as the grid has knots, and returns
// how many it read; an end of the file before a record's first value ends the read early.
// When every row is filled, the rest of the file may only be a trailer: a further record
// (also one after lines of text: two tables in one file) is refused. A line of text before
// the grid is full is a value that cannot be read. The records' positions go to `positions`
// when it is given. With the parts that counting the lines found, a large plain table is read
// in parts at once; the result is the same. Throws `failure` with the file, the line and the
// offending text.
//
// A compressed table is counted in the same pass when `compressed_lines` is given (inflating
// it twice would cost as much again): its text is read on to the end, also after a failure,
// and a failure of the text itself on the way is the one thrown.
std::int64_t read_table(const table_file& table, record_table& rows,
                        position_spread* positions = nullptr, work_counter* counter = nullptr,
                        const line_count* lines = nullptr, line_count* compressed_lines = nullptr);

// Reads the table as `read_table` does and counts its lines on the way, whatever its encoding:
// a plain table before its records (the parts of the count, `parts` at most, are read at
// once), a compressed one in the pass that reads it, also after a failure of the read.
// `counted` is handed the count as soon as it is known: before the read of a plain table,
// after that of a compressed one; not where the count itself fails.
std::int64_t read_counted_table(const table_file& table, record_table& rows, int parts,
                                const std::function<void(const line_count&)>& counted,
                                position_spread* positions = nullptr,
                                work_counter* counter = nullptr);

// "<table> holds more records than the grid has knots (<knots>); check Nx, Ny and Nz".
failure too_many_records(const std::string& table_name, std::int64_t knots);

// A record as the table holds it: its number (from 1), the line of its first value, and its
// nine values, a position left out NaN and a field value left out zero.
struct record_view {
  std::int64_t number;
  std::int64_t line;
  const double* values;
};

// Reads the table's records in order, up to `limit`, and hands each to `visit`, which returns
// false to stop; returns how many were read. A trailer of text ends the records; anything
// else that is not a record fails as `read_table` does.
std::int64_t for_each_record(const table_file& table, std::int64_t limit,
                             const std::function<bool(const record_view&)>& visit);

}  // namespace vort
