// The one way a step of a conversion stops the run. The layers below `app` say what went
// wrong as a code with the facts its line names; only `app` words it (app/failure_text), so
// that every sentence the user reads is written in one place. Inner loops return statuses;
// only the steps that own a file or an allocation turn them into a `failure`, and only the
// program's edge prints it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

namespace vort {

// What went wrong. `file`, `line` and `error` of the failure hold what the comment says
// where it says so; the facts are listed in the order the line names them.
enum class fault : std::uint8_t {
  said,  // a line the app has already worded: the one fact

  // The system refused a step on `file`; `error` is its cause.
  cannot_open,
  cannot_read,
  cannot_create,
  cannot_write,
  cannot_lock,

  // A table `file` that cannot be read as one.
  read_directory,
  read_not_regular_file,
  read_stopped,
  compressed_data_damaged,  // the damage (input/gzip_inflater's `gzip_damage`)
  too_many_lines,           // the most lines a table may have
  line_too_long,            // at `line`: the longest line read
  no_header,                // the lines it has
  record_cut_short,         // at `line`: the record, the values read
  unreadable_number,        // at `line`: the item, its `item_error`, the value's index, the record
  more_records_than_knots,  // the knots of the grid
  table_changed,

  // Standard input that cannot be a table (no `file`: it is standard input).
  input_is_terminal,
  input_unreadable,           // `error`
  input_no_temporary,         // the directory; `error`
  input_copy_failed,          // `error`
  input_copy_beyond_reserve,  // the reserve in bytes, the directory
  input_text_beyond_bound,    // the blank or text lines, the lines of values
  input_values_beyond_bound,  // the most lines of values, the most records
  input_bytes_beyond_bound,   // the most bytes, the most records

  // An output `file` that cannot be created.
  create_hidden_name_too_long,
  create_missing_directory,  // the directory
  create_not_a_directory,    // the directory
  create_not_regular_file,
  create_same_file,       // the name given earlier
  create_too_many_files,  // the most files written at once

  // Counts, positions and axes.
  counts_below_one,         // Nx, Ny, Nz
  counts_beyond_numbering,  // Nx, Ny, Nz
  out_of_memory,
  no_knot_position,         // the axis, whether the first knot (1) or the last (0), the knot,
                            // where the table ends ("" when it is whole)
  positions_beyond_single,  // the axis
  knot_beyond_single,       // the axis, the knot (1-based), its coordinate
  knots_coincide,           // the axis, the first of the two knots (1-based), their coordinate,
                            // the axis's minimum and step (all three in single precision)

  // What a commit of output files leaves that the user must know of (`file` the output).
  new_file_not_removed,       // `error`
  earlier_file_not_put_back,  // `error`; the name it is kept as
  earlier_file_left_behind,   // `error`; the name it is left as
  directory_not_written_out,  // `file` the directory; `error`
};

using fact = std::variant<std::int64_t, double, std::string>;

// Something the user must know of beside a failure, or after a step that went through.
struct notice {
  fault code = fault::said;
  std::string file;
  int error = 0;
  std::vector<fact> facts;
};

struct failure : std::exception {
  fault code = fault::said;
  std::string file;             // the file the line is about, as given; "" for none
  std::int64_t line = 0;        // its line, 1-based; 0 for none
  int error = 0;                // the system's cause (an errno value); 0 for none
  std::vector<fact> facts;      // the rest of what the line names
  std::vector<notice> notices;  // what the failed step left, told after it

  failure() = default;
  // A line the app has worded itself.
  explicit failure(std::string said) : facts{std::move(said)} {}
  failure(fault code, std::string file, int error = 0, std::vector<fact> facts = {})
      : code(code), file(std::move(file)), error(error), facts(std::move(facts)) {}
  // Where the line of a file is at fault.
  static failure at_line(fault code, std::string file, std::int64_t line,
                         std::vector<fact> facts = {}) {
    failure f(code, std::move(file), 0, std::move(facts));
    f.line = line;
    return f;
  }

  // Not the user's line (app/failure_text words that): the code's place, for a log.
  const char* what() const noexcept override { return "vort::failure"; }
};

}  // namespace vort
