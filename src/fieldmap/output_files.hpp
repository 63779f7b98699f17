// The six field-map files: the real parts of x, y and z, then the imaginary parts, named
// "3D_Re-" or "3D_Im-", the base name and the extension. Each starts with three header lines
// (the x, y and z axes in single precision) and goes on with body lines of doubles.
//
// Lines are formatted straight into a large buffer per file, which is written out whenever
// fewer than one field's room is left, so a line of any length needs no more memory. The
// files are written under temporary names and replace files of their names only when all
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

struct output_file {
  staged_file staged;
  // Not cleared when made: the writing thread touches its pages first, and nothing reads
  // past `used`.
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  std::size_t used = 0;
};

struct output_set {
  std::array<output_file, map_files> files;  // in the order of `file_roles`
};

inline constexpr std::size_t output_buffer_size = std::size_t{1} << 20;

// Creates the six files under temporary names beside their targets, each with a buffer of
// `output_buffer_size` or, for a smaller file, of the bytes it will hold. Every name is
// checked before any file is created; none of them, nor a name of the set written with them
// (`with_them`: the picture), may be the same file as another. Throws `failure` naming the
// file and the cause.
output_set open_output_files(const output_names& names,
                             std::uint64_t bytes_per_file = output_buffer_size,
                             std::span<const std::string> with_them = {});

// How many bytes each field-map file of a map of these knots holds.
std::uint64_t bytes_per_file(map_knots knots);

// The buffer of each file: `output_buffer_size`, or less for a small map.
std::size_t output_buffer_bytes(std::uint64_t bytes_per_file);

void write_headers(output_set& set, const map_axes& axes);

// Writes out what the file's buffer holds. Throws `failure` naming the file and the cause.
void flush_output(output_file& file);

// Flushes and closes every file. Throws `failure` naming the first file that fails.
void finish_output_files(output_set& set);

// The six files, for renaming them into place together with others. Until then, and after
// any failure, files of the six names are left as they were; the temporaries go with the set.
std::vector<staged_file*> staged_files(output_set& set);

// One value of a line: its separating blank and its field.
inline void put_value(output_file& file, double value, const number_form& form) {
  if (file.capacity - file.used < max_field_width + 2) flush_output(file);
  char* out = file.buffer.get() + file.used;
  *out++ = ' ';
  file.used = static_cast<std::size_t>(write_number(out, value, form) - file.buffer.get());
}

inline void end_line(output_file& file) {
  if (file.used == file.capacity) flush_output(file);
  file.buffer[file.used++] = '\n';
}

}  // namespace vort
