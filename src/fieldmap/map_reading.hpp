// A written map read back: its six files opened and checked against the layout they are
// written in. The header lines must hold, in every file alike, a whole count of knots and as
// many increasing coordinates per axis, each value in the single-precision form; the body must
// hold one line for each y and z knot, each of one double-precision field per x knot, and
// nothing after the last. Every fault is a `failure` naming the file and its line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fieldmap/map_axes.hpp"
#include "fieldmap/output_files.hpp"
#include "input/table_file.hpp"

namespace vort {

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
// what is wrong, as the rest of a message after the file and the line, or "".
using body_line_check = std::function<std::string(std::size_t file, std::int64_t n,
                                                  const char* text, std::vector<char>& scratch)>;

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
