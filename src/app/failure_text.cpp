#include "app/failure_text.hpp"

#include <cstring>
#include <span>

#include "app/table_findings.hpp"
#include "common/disk_reserve.hpp"
#include "common/grid.hpp"
#include "input/free_form.hpp"
#include "input/gzip_inflater.hpp"
#include "input/position_spread.hpp"

namespace vort {
namespace {

// The facts of one line, read in the order the line names them.
struct fact_reader {
  std::span<const fact> facts;
  std::size_t next = 0;

  const fact& take() {
    static const fact none{std::string()};
    return next < facts.size() ? facts[next++] : none;
  }
  std::int64_t count() {
    const fact& f = take();
    return std::holds_alternative<std::int64_t>(f) ? std::get<std::int64_t>(f) : 0;
  }
  double value() {
    const fact& f = take();
    return std::holds_alternative<double>(f) ? std::get<double>(f) : 0;
  }
  std::string text() {
    const fact& f = take();
    return std::holds_alternative<std::string>(f) ? std::get<std::string>(f) : std::string();
  }
  std::string number() { return std::to_string(count()); }
  std::string axis() { return axis_names[static_cast<std::size_t>(count()) % 3]; }
};

// The system's cause, or the one the step gave in words of its own (a library's).
std::string cause(int error, fact_reader& facts) {
  return error != 0 ? std::strerror(error) : facts.text();
}

// A damage in zlib's own words, which users may know from gzip and zlib's tools.
const char* damage_text(gzip_damage damage) {
  switch (damage) {
    case gzip_damage::none:
      break;
    case gzip_damage::unexpected_end:
      return "unexpected end of file";
    case gzip_damage::trailing_data:
      return "trailing data after the last gzip member";
    case gzip_damage::header_check:
      return "incorrect header check";
    case gzip_damage::header_flags:
      return "unknown header flags set";
    case gzip_damage::compression_method:
      return "unknown compression method";
    case gzip_damage::header_crc:
      return "header crc mismatch";
    case gzip_damage::invalid_header:
      return "invalid header";
    case gzip_damage::data_check:
      return "incorrect data check";
    case gzip_damage::length_check:
      return "incorrect length check";
    case gzip_damage::distance_too_far:
      return "invalid distance too far back";
    case gzip_damage::invalid_code:
      return "invalid code";
    case gzip_damage::block_header:
      return "invalid block header";
    case gzip_damage::deflate_data:
      return "invalid deflate data";
  }
  return "invalid deflate data";
}

std::string a_table_of(std::int64_t records) {
  return "a table of " + counted(records, "record");
}

struct line_parts {
  fault code;
  const std::string& file;
  std::int64_t line;
  int error;
  std::span<const fact> facts;
};

std::string worded(const line_parts& at, name_charset charset) {
  fact_reader facts{at.facts};
  const std::string name = in_quotes(at.file, charset);
  const std::string where = printable_item(at.file, charset) + ":" + std::to_string(at.line) + ": ";
  switch (at.code) {
    case fault::said:
      return facts.text();
    case fault::cannot_open:
      return "cannot open " + name + ": " + cause(at.error, facts);
    case fault::cannot_read:
      return "cannot read " + name + ": " + cause(at.error, facts);
    case fault::cannot_create:
      return "cannot create " + name + ": " + cause(at.error, facts);
    case fault::cannot_write:
      return "cannot write " + name + ": " + cause(at.error, facts);
    case fault::cannot_lock:
      return "cannot lock " + name + ": " + cause(at.error, facts);
    case fault::read_directory:
      return "cannot read " + name + ": it is a directory";
    case fault::read_not_regular_file:
      return "cannot read " + name + ": it is not a regular file";
    case fault::read_stopped:
      return "cannot read " + name + ": reading was stopped";
    case fault::compressed_data_damaged:
      return "cannot read " + name + ": the compressed data are damaged (" +
             damage_text(static_cast<gzip_damage>(facts.count())) + ")";
    case fault::too_many_lines:
      return name + " has more than " + facts.number() + " lines";
    case fault::line_too_long:
      return where + "the line is longer than " + facts.number() +
             " bytes, more than any table needs";
    case fault::no_header:
      return name + " ends before its two header lines (it has " + counted(facts.count(), "line") +
             ")";
    case fault::record_cut_short: {
      const std::string record = facts.number();
      return where + "the file ends inside record " + record + " (" + facts.number() +
             " of 9 values read)";
    }
    case fault::unreadable_number: {
      const std::string item = facts.text();
      const auto error = static_cast<item_error>(facts.count());
      const std::int64_t value = facts.count() + 1;
      return where +
             unreadable_number_text(item, error, value, "record " + facts.number(), charset);
    }
    case fault::more_records_than_knots:
      return name + " holds more records than the grid has knots (" + facts.number() +
             "); check Nx, Ny and Nz";
    case fault::table_changed:
      return name + " changed while it was read";
    case fault::input_is_terminal:
      return "cannot read standard input: it is a terminal, not a table";
    case fault::input_unreadable:
      return "cannot read standard input: " + cause(at.error, facts);
    case fault::input_no_temporary: {
      const std::string directory = in_quotes(facts.text(), charset);
      return "cannot read standard input: cannot make a temporary file in " + directory + ": " +
             cause(at.error, facts);
    }
    case fault::input_copy_failed:
      return "cannot read standard input: cannot copy it to a temporary file: " +
             cause(at.error, facts);
    case fault::input_copy_beyond_reserve: {
      const std::string reserve = reserve_text(static_cast<std::uint64_t>(facts.count()));
      return "cannot read standard input: its copy would leave less than " + reserve + " free in " +
             in_quotes(facts.text(), charset);
    }
    case fault::input_text_beyond_bound: {
      const std::string other = facts.number();
      return "cannot read standard input: " + other + " of its lines are blank or text and " +
             facts.number() + " hold values, more than a table has";
    }
    case fault::input_values_beyond_bound: {
      const std::string most = facts.number();
      return "cannot read standard input: more than " + most + " of its lines hold values, " +
             "more than " + a_table_of(facts.count()) + " has";
    }
    case fault::input_bytes_beyond_bound: {
      const std::string most = facts.number();
      return "cannot read standard input: more than " + most + " bytes, more than " +
             a_table_of(facts.count()) + " has";
    }
    case fault::create_hidden_name_too_long:
      return "cannot create " + name +
             ": its hidden temporary name would be too long for the file system";
    case fault::create_missing_directory:
      return "cannot create " + name + ": the directory " + in_quotes(facts.text(), charset) +
             " does not exist";
    case fault::create_not_a_directory:
      return "cannot create " + name + ": " + in_quotes(facts.text(), charset) +
             " is not a directory";
    case fault::create_not_regular_file:
      return "cannot create " + name + ": it is not a regular file";
    case fault::create_same_file:
      return "cannot create " + name + ": it is the same file as " +
             in_quotes(facts.text(), charset);
    case fault::create_too_many_files:
      return "cannot create " + name + ": more than " + facts.number() +
             " files are being written at once";
    case fault::counts_below_one: {
      const std::string nx = facts.number(), ny = facts.number(), nz = facts.number();
      return "grid counts must be at least 1, got Nx=" + nx + ", Ny=" + ny + ", Nz=" + nz;
    }
    case fault::counts_beyond_numbering: {
      const std::int64_t nx = facts.count(), ny = facts.count(), nz = facts.count();
      const grid_counts counts{static_cast<std::int32_t>(nx), static_cast<std::int32_t>(ny),
                               static_cast<std::int32_t>(nz)};
      return "a grid of " + counts_text(counts) + " = " + knot_product_text(counts) +
             " knots is more than the 2147483647 the record table can number";
    }
    case fault::out_of_memory:
      return allocation_message;
    case fault::no_knot_position: {
      const std::string axis = facts.axis();
      const bool first = facts.count() != 0;
      const std::string knot = facts.number();
      const std::string ended_at = facts.text();
      return "no record gives the position of the " + std::string(first ? "first " : "last ") +
             axis + " knot (" + axis + " knot " + knot + "), so the positions give no mesh" +
             (ended_at.empty()
                  ? "; is N" + axis + " too large?"
                  : ": the table ends early at knot " + ended_at + " and may be cut short");
    }
    case fault::positions_beyond_single:
      return "the table's " + facts.axis() + " positions lie beyond single precision";
    case fault::knot_beyond_single: {
      const std::string axis = facts.axis();
      const std::string knot = facts.number();
      return "the mesh data put knot " + knot + " of the " + axis + " axis at " +
             number_text(facts.value(), 6) + ", beyond single precision";
    }
    case fault::knots_coincide: {
      const std::string axis = facts.axis();
      const std::int64_t m = facts.count();
      const auto coordinate = static_cast<float>(facts.value());
      const auto min = static_cast<float>(facts.value());
      const auto step = static_cast<float>(facts.value());
      return "the mesh data put knots " + std::to_string(m) + " and " + std::to_string(m + 1) +
             " of the " + axis + " axis both at " + axis + " = " + number_text(coordinate) +
             (step == 0 ? " (d" + axis + " = 0)"
                        : " in single precision (" + axis + "min = " + number_text(min) + ", d" +
                              axis + " = " + number_text(step) + ")") +
             ": a map's knots must be distinct";
    }
    case fault::new_file_not_removed:
      return "the new " + name + " could not be removed (" + std::strerror(at.error) + ")";
    case fault::earlier_file_not_put_back:
      return "the earlier " + name + " could not be put back (" + std::strerror(at.error) +
             "): it is kept as " + in_quotes(facts.text(), charset);
    case fault::earlier_file_left_behind:
      return "the earlier " + name + " is left behind as " + in_quotes(facts.text(), charset) +
             " (it could not be removed: " + std::strerror(at.error) + ")";
    case fault::directory_not_written_out:
      return "the maps are in place, but the directory " + name +
             " could not be written out to the disk (" + cause(at.error, facts) +
             "): a power cut may still lose them";
  }
  return "";
}

}  // namespace

std::string failure_text(const failure& f, name_charset charset) {
  std::string text = worded({f.code, f.file, f.line, f.error, f.facts}, charset);
  for (const notice& n : f.notices) text += "; " + notice_text(n, charset);
  return text;
}

std::string notice_text(const notice& n, name_charset charset) {
  return worded({n.code, n.file, 0, n.error, n.facts}, charset);
}

}  // namespace vort
