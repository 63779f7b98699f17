// A written map read back: its six files opened and checked against the layout they are
// written in. The header lines must hold, in every file alike, a whole count of knots and as
// many increasing coordinates per axis, each value in the single-precision form; the body must
// hold one line for each y and z knot, each of one double-precision field per x knot, and
// nothing after the last. A fault is thrown as a `map_fault`, for the app to word; a file
// that cannot be read at all, as a `failure`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fieldmap/map_axes.hpp"
#include "fieldmap/output_files.hpp"
#include "input/table_file.hpp"

namespace vort {

// What is wrong with a map read back, and where.
enum class map_damage {
  line_missing,       // the file ends before `line`; `due` the lines the axes make (0: a header)
  line_length,        // `line` has `found` characters where `due` are made: by `count`, the
                      // knots of a header line's axis, or in the body those along x
  no_line_end,        // `line`, the last, lacks its line end
  out_of_form,        // value `value` of `line`, `text`, is in no number form of the maps
  count_not_whole,    // the count of `line`, `text`, is no whole number of knots
  axis_out_of_order,  // value `value` of `line`, `text`, on `axis` does not go on `rising`
                      // from `other`, the one before it (or equals it, where `value` is 3)
  axes_differ,        // `axis` of `line` differs from that of file `other_file`
  text_after_body,    // `line`, after the `due` lines the axes make, holds `text`
  value_differs,      // value `value` of `line`, `text`, where the table gives `other`
};

struct map_fault {
  map_damage damage = map_damage::line_missing;
  std::size_t file = 0;  // in the order of `file_roles`
  std::int64_t line = 0;
  std::int64_t value = 0;  // 1-based
  int axis = 0;
  std::string text;
  std::string other;
  std::uint64_t found = 0;
  std::uint64_t due = 0;
  std::int64_t count = 0;
  bool rising = true;
  std::size_t other_file = 0;
};

// A fault of `damage` at value `value` (0: none) of `line` of file `file`, its other facts
// left to be filled in.
inline map_fault fault_at(map_damage damage, std::size_t file, std::int64_t line,
                          std::int64_t value = 0) {
  map_fault fault;
  fault.damage = damage;
  fault.file = file;
  fault.line = line;
  fault.value = value;
  return fault;
}

struct read_map {
  std::array<table_file, map_files> files;  // in the order of `file_roles`
  map_axes axes;
  map_knots knots{};
};

// Opens the six files and checks their header lines, each on its own and then against each
// other: a file whose axes differ from those of most of the others is named.
read_map open_written_map(const output_names& names);

// A further look at each body line that is in form: `text` is line n (0-based) of the body of
// file `file`, without its line end, and `scratch` the calling thread's own buffer. Returns
// what is wrong (its file and line filled in by the caller), or nothing.
using body_line_check = std::function<std::optional<map_fault>(
    std::size_t file, std::int64_t n, const char* text, std::vector<char>& scratch)>;

// Checks every body line of the six files, and with `also` each line further, with up to
// `threads` threads; of several faults the first file's first is named.
void check_map_bodies(const read_map& map, int threads, const body_line_check& also = {});

// Where body line `n` (0-based: the file's line n + 4) of a map of these knots starts.
std::uint64_t body_line_offset(map_knots knots, std::int64_t n);

// Reads up to `size` bytes from `offset` of a file of the map: fewer only at its end. Throws
// `failure` naming the file where it cannot be read.
std::size_t read_map_bytes(const table_file& file, char* data, std::size_t size,
                           std::uint64_t offset);

}  // namespace vort
