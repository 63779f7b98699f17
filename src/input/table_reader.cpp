#include "input/table_reader.hpp"

#include <algorithm>
#include <array>
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
  const std::uint64_t before = source.blocks.bytes_read;
  const bool more = next_lines(source.blocks, source.cursor);
  add_done(source.counter, source.blocks.bytes_read - before);
  return more;
}

std::string where(const table_source& source, std::int64_t line) {
  return printable_item(source.blocks.name) + ":" + std::to_string(line) + ": ";
}

void skip_header_lines(table_source& source) {
  for (int header = 1; header <= 2; ++header) {
    if (source.cursor.pos == source.cursor.end && !more_lines(source)) {
      throw failure{in_quotes(source.blocks.name) + " ends before its two header lines (it has " +
                    std::to_string(header - 1) + " line" + (header == 2 ? "" : "s") + ")"};
    }
    skip_rest_of_line(source.cursor);
  }
}

enum class record_end { read, ended_by_slash, end_of_file, bad_value, cut_short };

struct record_outcome {
  record_end end;
  bad_item bad;
  int values = 0;              // values read before the end of the file
  std::int64_t last_line = 0;  // the line of the last of them
};

record_outcome read_record(table_source& source, std::span<double, record_values> row) {
  list_read state;
  record_outcome outcome{record_end::read, {}, 0};
  for (;;) {
    const read_status status = read_reals(source.cursor, state, row, &outcome.bad);
    switch (status) {
      case read_status::complete:
        return outcome;
      case read_status::slash:
        outcome.end = record_end::ended_by_slash;
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

}  // namespace

std::int64_t read_table(const std::string& name, std::int32_t nrec, record_table& table,
                        work_counter* counter) {
  table_source source{open_line_blocks(name), {nullptr, nullptr, 1}, counter};
  start_phase(counter, work_phase::reading, source.blocks.file_size);
  skip_header_lines(source);
  const std::int64_t due = std::min<std::int64_t>(std::max(nrec, 0), table.rows);
  std::int64_t read = 0;
  std::array<double, record_values> record{};
  while (read < due) {
    record.fill(0.0);  // values a record leaves out are zero
    const record_outcome outcome = read_record(source, record);
    if (outcome.end == record_end::end_of_file) break;
    if (outcome.end != record_end::read && outcome.end != record_end::ended_by_slash) {
      refuse_record(source, outcome, read + 1);
    }
    ++read;
    std::copy_n(record.begin() + 3, field_values, table.row(read));
  }
  if (read == table.rows && nrec > table.rows && holds_another_record(source)) {
    throw failure{in_quotes(name) + " holds more records than the grid has knots (" +
                  std::to_string(table.rows) + "); check Nx, Ny and Nz"};
  }
  return read;
}

}  // namespace vort
