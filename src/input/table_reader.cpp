#include "input/table_reader.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <span>

#include "common/failure.hpp"
#include "input/free_form.hpp"
#include "input/line_blocks.hpp"

namespace vort {
namespace {

struct table_source {
  line_blocks blocks;
  text_cursor cursor{nullptr, nullptr, 1};
  work_counter* counter;
};

bool more_lines(table_source& source) {
  const std::uint64_t before = bytes_consumed(source.blocks.source);
  const bool more = next_lines(source.blocks, source.cursor);
  add_done(source.counter, bytes_consumed(source.blocks.source) - before);
  return more;
}

std::string where(const table_source& source, std::int64_t line) {
  return printable_item(source.blocks.source.name) + ":" + std::to_string(line) + ": ";
}

void skip_header_lines(table_source& source) {
  for (int header = 1; header <= 2; ++header) {
    if (source.cursor.pos == source.cursor.end && !more_lines(source)) {
      throw failure{in_quotes(source.blocks.source.name) +
                    " ends before its two header lines (it has " + std::to_string(header - 1) +
                    " line" + (header == 2 ? "" : "s") + ")"};
    }
    skip_rest_of_line(source.cursor);
  }
}

enum class record_end { read, ended_by_slash, end_of_file, bad_value, cut_short };

struct record_outcome {
  record_end end;
  bad_item bad;
  int values = 0;               // values read before the end of the file
  std::int64_t first_line = 0;  // the line of the record's first value
  std::int64_t last_line = 0;   // the line of the last of them
};

record_outcome read_record(table_source& source, std::span<double, record_values> row) {
  list_read state;
  record_outcome outcome{record_end::read, {}, 0};
  for (;;) {
    const read_status status = read_reals(source.cursor, state, row, &outcome.bad);
    switch (status) {
      case read_status::complete:
        outcome.first_line = state.first_line;
        return outcome;
      case read_status::slash:
        outcome.end = record_end::ended_by_slash;
        outcome.first_line = state.first_line;
        return outcome;
      case read_status::bad_value:
        outcome.end = record_end::bad_value;
        return outcome;
      case read_status::need_more:
        if (!more_lines(source)) {
          outcome.values = state.next;
          outcome.last_line = state.last_line;
          outcome.end = state.next == 0 ? record_end::end_of_file : record_end::cut_short;
          return outcome;
        }
        break;
    }
  }
}

[[noreturn]] void refuse_record(const table_source& source, const record_outcome& outcome,
                                std::int64_t record) {
  if (outcome.end == record_end::cut_short) {
    throw failure{where(source, outcome.last_line) + "the file ends inside record " +
                  std::to_string(record) + " (" + std::to_string(outcome.values) +
                  " of 9 values read)"};
  }
  const bad_item& bad = outcome.bad;
  const std::string reason =
      bad.error == item_error::out_of_range ? ": it is too large for a double" : "";
  throw failure{where(source, bad.line) + "cannot read \"" + printable_item(bad.text) +
                "\" as a number" + reason + " (value " + std::to_string(bad.value_index + 1) +
                " of record " + std::to_string(record) + ")"};
}

// After the last row: is there one more complete record? Anything that does not read as
// nine values (empty lines, a trailer of text, a short record, one ended by a slash) is not.
bool holds_another_record(table_source& source) {
  std::array<double, record_values> spare{};
  return read_record(source, spare).end == record_end::read;
}

// A record as read: positions left out are NaN (and go unchecked), field values left out
// are zero.
constexpr double left_out = std::numeric_limits<double>::quiet_NaN();
constexpr std::array<double, record_values> unread_record{left_out, left_out, left_out, 0, 0,
                                                          0,        0,        0,        0};

// Opens the table and reads up to `limit` records, handing each to `take(record, values,
// line)`; `take` returns false to stop. Returns the number of records read and leaves the
// source after the last one.
template <class Take>
std::int64_t read_records(table_source& source, std::int64_t limit, Take take) {
  skip_header_lines(source);
  std::int64_t read = 0;
  std::array<double, record_values> record;
  while (read < limit) {
    record = unread_record;
    const record_outcome outcome = read_record(source, record);
    if (outcome.end == record_end::end_of_file) break;
    if (outcome.end != record_end::read && outcome.end != record_end::ended_by_slash) {
      refuse_record(source, outcome, read + 1);
    }
    ++read;
    if (!take(read, record.data(), outcome.first_line)) break;
  }
  return read;
}

}  // namespace

std::int64_t read_table(const std::string& name, std::int32_t nrec, record_table& table,
                        position_spread* positions, work_counter* counter) {
  table_source source{open_line_blocks(name), {nullptr, nullptr, 1}, counter};
  start_phase(counter, work_phase::reading, source.blocks.source.file_size);
  const std::int64_t due = std::min<std::int64_t>(std::max(nrec, 0), table.rows);
  const std::int64_t read =
      read_records(source, due, [&](std::int64_t r, const double* values, std::int64_t) {
        if (positions != nullptr) add_positions(*positions, values);
        std::copy_n(values + 3, field_values, table.row(r));
        return true;
      });
  if (read == table.rows && nrec > table.rows && holds_another_record(source)) {
    throw failure{in_quotes(name) + " holds more records than the grid has knots (" +
                  std::to_string(table.rows) + "); check Nx, Ny and Nz"};
  }
  return read;
}

std::int64_t for_each_record(const std::string& name, std::int64_t limit,
                             const std::function<bool(const record_view&)>& visit) {
  table_source source{open_line_blocks(name), {nullptr, nullptr, 1}, nullptr};
  return read_records(source, limit, [&](std::int64_t r, const double* values, std::int64_t line) {
    return visit(record_view{r, line, values});
  });
}

}  // namespace vort
