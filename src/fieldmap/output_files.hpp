// The six field-map files: the real parts of x, y and z, then the imaginary parts, named
// "3D_Re-" or "3D_Im-", the base name and the extension. Each starts with three header lines
// (the x, y and z axes in single precision) and goes on with body lines of doubles.
//
// The files are written under temporary names and replace files of their names only when all
// six are complete.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/staged_file.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/number_form.hpp"

namespace vort {

inline constexpr int map_files = 6;

// Which field of the record table feeds each file, in file order (real x, y, z, then
// imaginary x, y, z); real parts carry the sign.
struct file_role {
  int field;      // 0-based field of a table row
  int component;  // 0 = x, 1 = y, 2 = z
  bool real;
};
inline constexpr std::array<file_role, map_files> file_roles{
    {{0, 0, true}, {2, 1, true}, {4, 2, true}, {1, 0, false}, {3, 1, false}, {5, 2, false}}};

// The names of the six files in the order of `file_roles`: the real parts of x, y and z, then
// the imaginary parts.
using output_names = std::array<std::string, map_files>;

// The name of one file of the map: the base name's directory part, if any, then the prefix,
// the rest of the base name and the suffix ("out/cav" gives "out/3D_Re-cav.ex"). The base
// name is used whole (the command line has dropped its trailing blanks): never cut.
std::string output_file_name(const std::string& base_name, std::string_view prefix,
                             std::string_view suffix);

// The six names, each of a prefix, the base name and an extension, as above.
output_names build_output_names(const std::string& base_name, const field_kind& kind);

struct output_set {
  std::array<staged_file, map_files> files;  // in the order of `file_roles`
};

// Formatted text on its way into one file: a buffer written out at `offset` whenever fewer
// than one field's room is left, so a line of any length needs no more memory. Every line of a
// file has a length known before it is formatted, so sinks of several threads may fill
// different stretches of one file at once.
struct text_sink {
  staged_file* file = nullptr;
  char* buffer = nullptr;  // not cleared when made: nothing reads past `used`
  std::size_t capacity = 0;
  std::size_t used = 0;
  std::uint64_t offset = 0;  // of the buffer's first byte in the file
};

inline constexpr std::size_t output_buffer_size = std::size_t{1} << 20;

// Refuses a set of names that cannot be written: a name that is a directory or a device, or
// two names of the six and those written with them (`with_them`: the picture) that are one
// file. Throws `failure` naming the file and the cause.
void check_output_names(const output_names& names, std::span<const std::string> with_them);

// Creates the six files under temporary names beside their targets, once their names pass
// `check_output_names` (again: the files may have changed since a run checked them first).
output_set open_output_files(const output_names& names,
                             std::span<const std::string> with_them = {});

// The bytes of a file's three header lines, of each of its body lines, and of the whole file,
// for a map of these knots. Every value has the width of its form.
std::uint64_t header_bytes(map_knots knots);
std::uint64_t body_line_bytes(map_knots knots);
std::uint64_t bytes_per_file(map_knots knots);

// A buffer for a file's text: `output_buffer_size`, or less for a small map.
std::size_t output_buffer_bytes(std::uint64_t bytes_per_file);

// The three header lines of every file, from its start.
void write_headers(output_set& set, const map_axes& axes);

// Writes out what the sink's buffer holds. Throws `failure` naming the file and the cause.
void flush_output(text_sink& sink);

// Closes every file. Throws `failure` naming the first file that fails.
void finish_output_files(output_set& set);

// The six files, for renaming them into place together with others. Until then, and after
// any failure, files of the six names are left as they were; the temporaries go with the set.
std::vector<staged_file*> staged_files(output_set& set);

// One value of a line: its separating blank and its field.
inline void put_value(text_sink& sink, double value, const number_form& form) {
  if (sink.capacity - sink.used < max_field_width + 2) flush_output(sink);
  char* out = sink.buffer + sink.used;
  *out++ = ' ';
  sink.used = static_cast<std::size_t>(write_number(out, value, form) - sink.buffer);
}

inline void end_line(text_sink& sink) {
  if (sink.used == sink.capacity) flush_output(sink);
  sink.buffer[sink.used++] = '\n';
}

}  // namespace vort
