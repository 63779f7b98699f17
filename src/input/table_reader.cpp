#include "input/table_reader.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <span>
#include <vector>

#include "common/failure.hpp"
#include "common/parallel_parts.hpp"
#include "input/free_form.hpp"
#include "input/line_blocks.hpp"

namespace vort {
namespace {

// A record as read: positions left out are NaN (and go unchecked), field values left out
// are zero.
constexpr double left_out = std::numeric_limits<double>::quiet_NaN();
constexpr std::array<double, record_values> unread_record{left_out, left_out, left_out, 0, 0,
                                                          0,        0,        0,        0};

// A stretch of the table being read: the whole text, or one part of a plain table read at
// once with others, which ends where the next part begins (`bounded`).
struct table_source {
  line_blocks blocks;
  text_cursor cursor{nullptr, nullptr, 1};
  work_counter* counter = nullptr;
  std::int64_t records = 0;  // records read so far: the number of the last one
  knot_walk knot;            // the knot of the next record
  bool bounded = false;
  // A part's range that ended inside a record keeps what was read of it, to go on with once
  // the range is extended.
  bool in_record = false;
  list_read pending;
  std::array<double, record_values> pending_values = unread_record;
};

// Hands out the next lines; false at the end of the text, or of a part's range.
bool more_lines(table_source& source) {
  const std::uint64_t before = bytes_consumed(source.blocks.source);
  const bool more = next_lines(source.blocks, source.cursor);
  add_done(source.counter, bytes_consumed(source.blocks.source) - before);
  return more;
}

void skip_header_lines(table_source& source) {
  for (int header = 1; header <= 2; ++header) {
    if (source.cursor.pos == source.cursor.end && !more_lines(source)) {
      throw failure{
          fault::no_header, source.blocks.source.table->name, 0, {std::int64_t{header - 1}}};
    }
    skip_rest_of_line(source.cursor);
  }
}

enum class record_end {
  read,            // nine values, or fewer ended by a slash
  end_of_file,     // before the record's first value
  cut_short,       // the file ends inside the record
  text,            // the record's first item is not a number
  bad_value,       // a later item is not a number
  range_exhausted  // a part's range ended inside the record
};

struct record_outcome {
  record_end end;
  bad_item bad;
  int values = 0;               // values read before the end of the file
  std::int64_t first_line = 0;  // the line of the record's first value
  std::int64_t last_line = 0;   // the line of the last of them
};

// Reads one record into `row`, or goes on with the one a part's range ended in.
record_outcome read_record(table_source& source, std::span<double, record_values> row) {
  list_read state;
  if (source.in_record) {
    state = source.pending;
    std::copy(source.pending_values.begin(), source.pending_values.end(), row.begin());
    source.in_record = false;
  }
  record_outcome outcome{record_end::read, {}, 0};
  for (;;) {
    switch (read_reals(source.cursor, state, row, &outcome.bad)) {
      case read_status::complete:
      case read_status::slash:
        outcome.first_line = state.first_line;
        return outcome;
      case read_status::bad_value:
        outcome.end = outcome.bad.value_index == 0 && state.first_line == 0 ? record_end::text
                                                                            : record_end::bad_value;
        return outcome;
      case read_status::need_more:
        if (more_lines(source)) break;
        if (source.bounded && state.next > 0) {
          source.in_record = true;
          source.pending = state;
          std::copy(row.begin(), row.end(), source.pending_values.begin());
          outcome.end = record_end::range_exhausted;
          return outcome;
        }
        outcome.values = state.next;
        outcome.last_line = state.last_line;
        outcome.end = state.next == 0 ? record_end::end_of_file : record_end::cut_short;
        return outcome;
    }
  }
}

// Made while the offending text is still in the buffer.
failure record_failure(const table_source& source, const record_outcome& outcome,
                       std::int64_t record) {
  const std::string& name = source.blocks.source.table->name;
  if (outcome.end == record_end::cut_short) {
    return failure::at_line(fault::record_cut_short, name, outcome.last_line,
                            {record, std::int64_t{outcome.values}});
  }
  const bad_item& bad = outcome.bad;
  return failure::at_line(fault::unreadable_number, name, bad.line,
                          {std::string(bad.text), static_cast<std::int64_t>(bad.error),
                           std::int64_t{bad.value_index}, record});
}

// Whether an outcome is a record that gives values: a lone slash gives none.
bool gives_values(const record_outcome& outcome) {
  return outcome.end == record_end::read && outcome.first_line != 0;
}

// From the line after one that holds no record (or, `within_line`, from within that line):
// does a complete record follow anywhere after it?
bool any_record_follows(table_source& source, bool within_line = true) {
  std::array<double, record_values> spare{};
  for (;;) {
    if (within_line) skip_rest_of_line(source.cursor);
    within_line = true;
    const record_outcome next = read_record(source, spare);
    if (gives_values(next)) return true;
    // A record that ended by a slash is at the next line already.
    within_line = next.end != record_end::read;
    if (next.end == record_end::end_of_file || next.end == record_end::cut_short) return false;
  }
}

// What a line of text among the records is: the end of the records when no record follows
// it, or before the grid is full, as the caller says.
enum class text_rule { ends_records, unreadable };

// Reads records until `limit` are read or the text ends, handing each to `take(record, values,
// line)` (record numbers go on from `source.records`); `take` returns false to stop. Returns
// false where a part's range ended, true otherwise.
template <class Take>
bool read_records(table_source& source, std::int64_t limit, Take take, text_rule text) {
  std::array<double, record_values> record;
  while (source.records < limit) {
    record = unread_record;
    const record_outcome outcome = read_record(source, record);
    switch (outcome.end) {
      case record_end::read:
        break;
      case record_end::end_of_file:
        return !source.bounded;
      case record_end::range_exhausted:
        return false;
      case record_end::text: {
        failure refusal = record_failure(source, outcome, source.records + 1);
        if (text == text_rule::ends_records && !any_record_follows(source)) return true;
        throw refusal;
      }
      default:
        throw record_failure(source, outcome, source.records + 1);
    }
    ++source.records;
    if (!take(source.records, record.data(), outcome.first_line)) return true;
  }
  return true;
}

// After the grid's last record: the rest may hold no further record, whole or damaged, not
// even after lines of text (a second table appended to the first). A lone slash gives no
// value and passes as text.
void refuse_further_records(table_source& source, std::int64_t rows) {
  std::array<double, record_values> spare{};
  const record_outcome next = read_record(source, spare);
  if (next.end == record_end::end_of_file) return;
  if (next.end == record_end::text && !any_record_follows(source)) return;
  if (next.end == record_end::read && !gives_values(next) && !any_record_follows(source, false)) {
    return;
  }
  throw too_many_records(source.blocks.source.table->name, rows);
}

}  // namespace

failure too_many_records(const std::string& table_name, std::int64_t knots) {
  return failure{fault::more_records_than_knots, table_name, 0, {knots}};
}

namespace {

table_source whole_text(const table_file& table, work_counter* counter) {
  table_source source;
  source.blocks = open_line_blocks(read_text(table));
  source.counter = counter;
  return source;
}

// One part of a table read in parts at once. It starts at a line start and assumes that
// every record before it is one line, which the part before it confirms by ending exactly
// there, after exactly as many records.
struct table_part {
  table_source source;
  position_spread spread;
  std::int64_t first_record = 0;  // the records before the part, on that assumption
  std::exception_ptr failure;
  bool range_ended = false;  // the part read to the end of its range
  double largest = 0;        // the largest |field value| of its records
};

void read_part(table_part& part, record_table& table, std::int64_t due, bool check) {
  try {
    part.range_ended = !read_records(
        part.source, due,
        [&](std::int64_t, const double* values, std::int64_t) {
          if (check) add_positions(part.spread, values);
          for (int f = 3; f < record_values; ++f) {
            const double magnitude = values[f] < 0 ? -values[f] : values[f];
            if (magnitude > part.largest) part.largest = magnitude;
          }
          store_fields(table, part.source.knot, values + 3);
          next_knot(part.source.knot);
          return true;
        },
        text_rule::unreadable);
  } catch (...) {
    part.failure = std::current_exception();
  }
}

// The parts worth reading at once: those that start before the last record due.
std::vector<table_part> plan_parts(const table_file& table, const line_count* lines,
                                   std::int64_t due, grid_counts counts, work_counter* counter,
                                   bool check) {
  std::vector<table_part> parts;
  const std::size_t n = lines != nullptr ? lines->part_starts.size() : 0;
  for (std::size_t p = 1; p < n && lines->lines_before_part[p] - 2 < due; ++p) {
    if (parts.empty()) parts.emplace_back();
    table_part part;
    part.first_record = lines->lines_before_part[p] - 2;
    part.source.blocks =
        open_line_blocks(read_text_range(table, lines->part_starts[p],
                                         p + 1 < n ? lines->part_starts[p + 1] : table.size),
                         part_block_size(static_cast<int>(n)));
    part.source.cursor.line = lines->lines_before_part[p] + 1;
    part.source.records = part.first_record;
    part.source.knot = walk_from(counts, part.first_record);
    part.source.counter = counter;
    part.source.bounded = true;
    if (check) part.spread = start_spread(counts, part.first_record);
    parts.push_back(std::move(part));
  }
  if (parts.empty()) {
    parts.emplace_back();
    parts[0].source = whole_text(table, counter);
  } else {
    parts[0].source.blocks = open_line_blocks(read_text_range(table, 0, lines->part_starts[1]),
                                              part_block_size(static_cast<int>(n)));
    parts[0].source.bounded = true;
    parts[0].source.counter = counter;
    parts.back().source.blocks.source.end = byte_source::unlimited;
    parts.back().source.bounded = false;
  }
  parts[0].source.knot = walk_from(counts, 0);
  if (check) parts[0].spread = start_spread(counts, 0);
  return parts;
}

// Whether part `n` holds its records where the part after it assumed: it read its whole range,
// ended between records, and read exactly as many as the next part assumed before it.
bool confirms_next(const std::vector<table_part>& parts, std::size_t n) {
  const table_part& part = parts[n];
  return !part.failure && part.range_ended && !part.source.in_record &&
         part.source.records == parts[n + 1].first_record;
}

}  // namespace

namespace {

std::int64_t read_in_parts(std::vector<table_part>& parts, record_table& rows,
                           position_spread* positions) {
  const std::int64_t due = rows.rows;
  const bool check = positions != nullptr;
  try {
    skip_header_lines(parts[0].source);
  } catch (...) {
    parts[0].failure = std::current_exception();
  }
  run_parts(static_cast<int>(parts.size()), [&](int n) {
    table_part& part = parts[static_cast<std::size_t>(n)];
    if (!part.failure) read_part(part, rows, due, check);
  });
  // The first part whose successor cannot trust it reads on alone, past its range, over the
  // records that the later parts read on a wrong assumption.
  std::size_t last = 0;
  while (last + 1 < parts.size() && confirms_next(parts, last)) ++last;
  table_part& final_part = parts[last];
  if (final_part.failure) std::rethrow_exception(final_part.failure);
  if (last + 1 < parts.size() && final_part.source.records < due) {
    final_part.source.blocks.source.end = byte_source::unlimited;
    final_part.source.blocks.at_eof = false;
    final_part.source.bounded = false;
    read_part(final_part, rows, due, check);
    if (final_part.failure) std::rethrow_exception(final_part.failure);
  }
  const std::int64_t read = final_part.source.records;
  for (std::size_t n = 0; n <= last; ++n) rows.largest = std::max(rows.largest, parts[n].largest);
  if (check) {
    *positions = std::move(parts[0].spread);
    for (std::size_t n = 1; n <= last; ++n) merge_spread(*positions, parts[n].spread);
  }
  // Rows that parts on a wrong assumption filled after the last record hold zero, as every
  // row without a record does.
  std::int64_t filled = read;
  for (std::size_t n = last + 1; n < parts.size(); ++n) {
    filled = std::max(filled, parts[n].source.records);
  }
  constexpr double zeros[field_values] = {};
  knot_walk knot = walk_from(rows.counts, read);
  for (std::int64_t r = read; r < filled; ++r, next_knot(knot)) store_fields(rows, knot, zeros);
  if (read == rows.rows) {
    final_part.source.blocks.source.end = byte_source::unlimited;
    final_part.source.blocks.at_eof = false;
    refuse_further_records(final_part.source, rows.rows);
  }
  return read;
}

}  // namespace

std::int64_t read_table(const table_file& table, record_table& rows, position_spread* positions,
                        work_counter* counter, const line_count* lines,
                        line_count* compressed_lines) {
  std::vector<table_part> parts =
      plan_parts(table, lines, rows.rows, rows.counts, counter, positions != nullptr);
  start_phase(counter, work_phase::reading, table.size);
  gzip_stream* const stream = parts[0].source.blocks.source.gz.get();
  if (compressed_lines == nullptr || stream == nullptr)
    return read_in_parts(parts, rows, positions);
  std::exception_ptr refusal;
  std::int64_t read = 0;
  try {
    read = read_in_parts(parts, rows, positions);
  } catch (...) {
    refusal = std::current_exception();
  }
  // Where the text itself fails on the way to its end, that is what a count first would have
  // met.
  *compressed_lines = count_rest_of_text(table, *stream);
  if (refusal) std::rethrow_exception(refusal);
  return read;
}

std::int64_t read_counted_table(const table_file& table, record_table& rows, int parts,
                                const std::function<void(const line_count&)>& counted,
                                position_spread* positions, work_counter* counter) {
  if (table.encoding != table_encoding::gzip) {
    const line_count lines = count_lines(table, parts);
    counted(lines);
    return read_table(table, rows, positions, counter, &lines);
  }
  line_count lines;
  lines.lines = -1;  // until the count is made
  std::int64_t read = 0;
  try {
    read = read_table(table, rows, positions, counter, nullptr, &lines);
  } catch (...) {
    if (lines.lines >= 0) counted(lines);
    throw;
  }
  counted(lines);
  return read;
}

std::int64_t for_each_record(const table_file& table, std::int64_t limit,
                             const std::function<bool(const record_view&)>& visit) {
  table_source source = whole_text(table, nullptr);
  skip_header_lines(source);
  read_records(
      source, limit,
      [&](std::int64_t r, const double* values, std::int64_t line) {
        return visit(record_view{r, line, values});
      },
      text_rule::ends_records);
  return source.records;
}

}  // namespace vort
