#include "input/table_reader.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <limits>
#include <span>
#include <system_error>
#include <thread>

#include "common/failure.hpp"
#include "common/side_by_side.hpp"
#include "input/free_form.hpp"
#include "input/line_blocks.hpp"

namespace vort {
namespace {

// A stretch of the table being read. A first part that ends at a line start near the middle
// (`boundary_records` >= 0) is read while a second part, from there, is read at once by
// another thread on the assumption that every record is one line, so that the records of
// the first part are exactly the lines before the boundary. At the boundary the first part
// stops if that held; otherwise `leave_range` stops the second part, and the first reads on
// past the boundary as if it were alone.
struct table_source {
  line_blocks blocks;
  text_cursor cursor{nullptr, nullptr, 1};
  work_counter* counter = nullptr;
  const std::atomic<bool>* stop = nullptr;  // the other part has failed: end early
  std::int64_t records = 0;                 // records read so far
  knot_walk knot;                           // the knot of the next record
  std::int64_t boundary_records = -1;
  std::function<void()> leave_range;
  bool stopped_at_boundary = false;
};

// Hands out the next lines; false at the end of the part (or of the file). `record_begun`:
// the record being read has values already, so the part does not end here.
bool more_lines(table_source& source, bool record_begun) {
  const std::uint64_t before = bytes_consumed(source.blocks.source);
  bool more = next_lines(source.blocks, source.cursor);
  if (!more && source.boundary_records >= 0) {
    if (source.records == source.boundary_records && !record_begun) {
      source.stopped_at_boundary = true;
    } else {
      source.leave_range();
      source.boundary_records = -1;
      source.blocks.source.end = byte_source::unlimited;
      source.blocks.at_eof = false;
      more = next_lines(source.blocks, source.cursor);
    }
  }
  add_done(source.counter, bytes_consumed(source.blocks.source) - before);
  return more;
}

std::string where(const table_source& source, std::int64_t line) {
  return printable_item(source.blocks.source.name) + ":" + std::to_string(line) + ": ";
}

void skip_header_lines(table_source& source) {
  for (int header = 1; header <= 2; ++header) {
    if (source.cursor.pos == source.cursor.end && !more_lines(source, false)) {
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
        if (!more_lines(source, state.next > 0)) {
          outcome.values = state.next;
          outcome.last_line = state.last_line;
          outcome.end = state.next == 0 ? record_end::end_of_file : record_end::cut_short;
          return outcome;
        }
        break;
    }
  }
}

// Made while the offending text is still in the buffer.
failure record_failure(const table_source& source, const record_outcome& outcome,
                       std::int64_t record) {
  if (outcome.end == record_end::cut_short) {
    return failure{where(source, outcome.last_line) + "the file ends inside record " +
                   std::to_string(record) + " (" + std::to_string(outcome.values) +
                   " of 9 values read)"};
  }
  const bad_item& bad = outcome.bad;
  const std::string reason =
      bad.error == item_error::out_of_range ? ": it is too large for a double" : "";
  return failure{where(source, bad.line) + "cannot read \"" + printable_item(bad.text) +
                 "\" as a number" + reason + " (value " + std::to_string(bad.value_index + 1) +
                 " of record " + std::to_string(record) + ")"};
}

// After the last row: is there one more complete record? Anything that does not read as
// nine values (empty lines, a trailer of text, a short record, one ended by a slash) is not.
bool holds_another_record(table_source& source) {
  std::array<double, record_values> spare{};
  return read_record(source, spare).end == record_end::read;
}

// From a line that holds no record: does a complete record follow anywhere after it?
bool any_record_follows(table_source& source) {
  std::array<double, record_values> spare{};
  for (;;) {
    skip_rest_of_line(source.cursor);
    const record_end end = read_record(source, spare).end;
    if (end == record_end::read) return true;
    if (end == record_end::end_of_file || end == record_end::cut_short) return false;
  }
}

// What may follow the last record: nothing, or lines that hold no complete record.
enum class trailer { refused, ends_table };

// A record as read: positions left out are NaN (and go unchecked), field values left out
// are zero.
constexpr double left_out = std::numeric_limits<double>::quiet_NaN();
constexpr std::array<double, record_values> unread_record{left_out, left_out, left_out, 0, 0,
                                                          0,        0,        0,        0};

// Reads records until `limit` are read or the part ends, handing each to `take(record,
// values, line)` (record numbers go on from `source.records`); `take` returns false to stop.
template <class Take>
void read_records(table_source& source, std::int64_t limit, Take take,
                  trailer after_last = trailer::refused) {
  std::array<double, record_values> record;
  while (source.records < limit) {
    if (source.stop != nullptr && source.stop->load(std::memory_order_relaxed)) return;
    record = unread_record;
    const record_outcome outcome = read_record(source, record);
    if (outcome.end == record_end::end_of_file) return;
    if (outcome.end != record_end::read && outcome.end != record_end::ended_by_slash) {
      failure refusal = record_failure(source, outcome, source.records + 1);
      if (after_last == trailer::ends_table &&
          (outcome.end == record_end::cut_short || !any_record_follows(source))) {
        return;
      }
      throw refusal;
    }
    ++source.records;
    if (!take(source.records, record.data(), outcome.first_line)) return;
  }
}

// Reads records into the table's rows (and their positions into `positions`) up to `limit`.
void read_rows(table_source& source, std::int64_t limit, record_table& table,
               position_spread* positions) {
  read_records(source, limit, [&](std::int64_t, const double* values, std::int64_t) {
    if (positions != nullptr) add_positions(*positions, values);
    store_fields(table, source.knot, values + 3);
    next_knot(source.knot);
    return true;
  });
}

table_source open_table(const std::string& name, std::uint64_t end, work_counter* counter) {
  table_source source;
  source.blocks = open_line_blocks(open_byte_range(name, 0, end));
  source.counter = counter;
  return source;
}

// Below this many records a second reading thread costs more than it saves.
constexpr std::int64_t records_worth_a_thread = 50000;

// The first record of the part that starts at the split, when every record is one line.
std::int64_t records_before(const files_analysis::line_count& lines) {
  return lines.lines_before_split - 2;
}

bool worth_two_parts(const files_analysis::line_count* lines, std::int64_t due) {
  return lines != nullptr && lines->split > 0 && records_before(*lines) >= records_worth_a_thread &&
         records_before(*lines) < due && std::thread::hardware_concurrency() >= 2;
}

// The second part of a table read in two, in a thread of its own.
struct second_part {
  table_source source;
  position_spread spread;
  std::exception_ptr failure;
  std::atomic<bool> stop{false};
  std::thread thread;

  void wait() {
    if (thread.joinable()) thread.join();
  }
  void abandon() {
    stop = true;
    wait();
  }
  ~second_part() { abandon(); }
};

// Reads the table's records in two parts at once (see table_source); returns the source that
// read the last record, for the check that nothing follows.
table_source* read_in_two_parts(const std::string& name, table_source& first,
                                const files_analysis::line_count& lines, std::int64_t due,
                                record_table& table, position_spread* positions,
                                second_part& second) {
  const std::int64_t first_records = records_before(lines);
  second.source.blocks =
      open_line_blocks(open_byte_range(name, lines.split, byte_source::unlimited));
  second.source.cursor.line = lines.lines_before_split + 1;
  second.source.records = first_records;
  second.source.knot = walk_from(table.counts, first_records);
  second.source.counter = first.counter;
  second.source.stop = &second.stop;
  if (positions != nullptr) second.spread = start_spread(positions->counts, first_records);
  try {
    second.thread = thread_without_interrupts([&second, &table, due, positions] {
      try {
        read_rows(second.source, due, table, positions != nullptr ? &second.spread : nullptr);
      } catch (...) {
        second.failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    first.blocks.source.end = byte_source::unlimited;  // no second thread: one reads it all
    read_rows(first, due, table, positions);
    return &first;
  }
  first.boundary_records = first_records;
  first.leave_range = [&second] { second.abandon(); };
  read_rows(first, due, table, positions);
  if (!first.stopped_at_boundary) return &first;
  second.wait();
  if (second.failure) std::rethrow_exception(second.failure);
  if (positions != nullptr) merge_spread(*positions, second.spread);
  return &second.source;
}

}  // namespace

std::int64_t read_table(const std::string& name, std::int32_t nrec, record_table& table,
                        position_spread* positions, work_counter* counter,
                        const files_analysis::line_count* lines) {
  const std::int64_t due = std::min<std::int64_t>(std::max(nrec, 0), table.rows);
  const bool two_parts = worth_two_parts(lines, due);
  table_source first = open_table(name, two_parts ? lines->split : byte_source::unlimited, counter);
  first.knot = walk_from(table.counts, 0);
  start_phase(counter, work_phase::reading, first.blocks.source.file_size);
  skip_header_lines(first);
  second_part second;
  table_source* last = &first;
  if (two_parts) {
    last = read_in_two_parts(name, first, *lines, due, table, positions, second);
  } else {
    read_rows(first, due, table, positions);
  }
  const std::int64_t read = last->records;
  if (read == table.rows && nrec > table.rows && holds_another_record(*last)) {
    throw failure{in_quotes(name) + " holds more records than the grid has knots (" +
                  std::to_string(table.rows) + "); check Nx, Ny and Nz"};
  }
  // A second part that read on its own assumption may have filled rows after the last
  // record; those hold zero, as every row without a record does.
  if (last == &first) {
    constexpr double zeros[field_values] = {};
    for (std::int64_t r = read; r < second.source.records; ++r, next_knot(first.knot)) {
      store_fields(table, first.knot, zeros);
    }
  }
  return read;
}

std::int64_t for_each_record(const std::string& name, std::int64_t limit,
                             const std::function<bool(const record_view&)>& visit) {
  table_source source = open_table(name, byte_source::unlimited, nullptr);
  skip_header_lines(source);
  read_records(
      source, limit,
      [&](std::int64_t r, const double* values, std::int64_t line) {
        return visit(record_view{r, line, values});
      },
      trailer::ends_table);
  return source.records;
}

}  // namespace vort
