#include "fieldmap/map_reading.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "common/parallel_parts.hpp"
#include "fieldmap/body_writer.hpp"
#include "fieldmap/number_form.hpp"
#include "platform/positional_io.hpp"

namespace vort {
namespace {

// A value with its separating blank: the step from one value of a line to the next.
constexpr std::size_t single_step = single_form.width + 1;
constexpr std::size_t double_step = double_form.width + 1;

// What the reading of a stretch of lines looks at first: a block of whole lines of about this.
constexpr std::size_t block_bytes = std::size_t{1} << 20;

std::string field_text(const char* field, std::size_t width) {
  std::string_view text(field, width);
  const std::size_t first = text.find_first_not_of(' ');
  const std::size_t last = text.find_last_not_of(' ');
  return first == std::string_view::npos ? std::string()
                                         : std::string(text.substr(first, last - first + 1));
}

// `field` with its separating blank, shown whole: a value that does not start with the blank
// may have run into the one before.
map_fault out_of_form(std::size_t file, std::int64_t line, std::size_t value, const char* field,
                      std::size_t width) {
  map_fault fault = fault_at(map_damage::out_of_form, file, line, static_cast<std::int64_t>(value));
  fault.text = field_text(field, width);
  return fault;
}

map_fault missing_line(std::size_t file, std::int64_t line, std::uint64_t due_lines) {
  map_fault fault = fault_at(map_damage::line_missing, file, line);
  fault.due = due_lines;
  return fault;
}

map_fault line_length(std::size_t file, std::int64_t line, std::uint64_t found, std::uint64_t due,
                      std::int64_t count) {
  map_fault fault = fault_at(map_damage::line_length, file, line);
  fault.found = found;
  fault.due = due;
  fault.count = count;
  return fault;
}

// The length of the line that starts at `offset`, up to its line end or the file's end.
std::uint64_t line_length_from(const table_file& file, std::uint64_t offset) {
  std::vector<char> block(block_bytes);
  std::uint64_t length = 0;
  for (;;) {
    const std::size_t got = read_map_bytes(file, block.data(), block.size(), offset + length);
    const auto* end = static_cast<const char*>(std::memchr(block.data(), '\n', got));
    if (end != nullptr) return length + static_cast<std::uint64_t>(end - block.data());
    length += got;
    if (got < block.size()) return length;
  }
}

// One file of the map, and its place among the six.
struct map_file {
  const table_file& file;
  std::size_t index;
};

// Header line `line` of `chars` characters and its line end at `offset`, read whole, for an
// axis of `count` knots; a line of another length, or none, is a fault.
std::vector<char> read_header_text(map_file at, std::uint64_t offset, std::int64_t line,
                                   std::size_t chars, std::int64_t count) {
  std::vector<char> text(chars + 1);
  const std::size_t got = read_map_bytes(at.file, text.data(), text.size(), offset);
  if (got == 0) throw missing_line(at.index, line, 0);
  const auto* end = static_cast<const char*>(std::memchr(text.data(), '\n', got));
  if (end != text.data() + chars) {
    const std::uint64_t found = end != nullptr ? static_cast<std::uint64_t>(end - text.data())
                                               : line_length_from(at.file, offset);
    throw line_length(at.index, line, found, chars, count);
  }
  return text;
}

// Three coordinates of an axis in a row: an axis rises throughout, or, from a table whose
// positions fall, falls throughout.
bool in_order(float first, float before, float next) {
  return first < before ? before < next : before > next;
}

// One header line: the count of an axis's knots and its coordinates.
struct header_line {
  std::vector<char> text;  // with its line end
  std::vector<float> coordinates;
};

// A header value as written: the single-precision number's own digits, not only their layout.
bool header_value_written(const char* field, float& value) {
  if (!in_number_form(field, single_form)) return false;
  value = static_cast<float>(value_of_field(field, single_form));
  char again[max_field_width];
  write_number(again, value, single_form);
  return std::memcmp(again, field, single_form.width) == 0;
}

std::int64_t count_of_axis(map_file at, std::uint64_t offset, std::int64_t line) {
  char first[single_step] = {};
  const std::size_t got = read_map_bytes(at.file, first, single_step, offset);
  if (got == 0) throw missing_line(at.index, line, 0);
  float count = 0;
  if (got < single_step || first[0] != ' ' || !header_value_written(first + 1, count)) {
    throw out_of_form(at.index, line, 1, first, got);
  }
  if (!(count >= 1 && count <= static_cast<float>(max_axis_knots)) || std::floor(count) != count) {
    map_fault fault = fault_at(map_damage::count_not_whole, at.index, line, 1);
    fault.text = field_text(first, single_step);
    throw fault;
  }
  return static_cast<std::int64_t>(count);
}

map_fault out_of_order(std::size_t file, std::int64_t line, std::size_t value, int axis,
                       const char* field, bool rising) {
  map_fault fault =
      fault_at(map_damage::axis_out_of_order, file, line, static_cast<std::int64_t>(value));
  fault.axis = axis;
  fault.text = field_text(field, single_step);
  fault.other = field_text(field - single_step, single_step);
  fault.rising = rising;
  return fault;
}

header_line read_header_line(map_file at, std::uint64_t offset, int axis) {
  const std::int64_t line = axis + 1;
  const std::int64_t knots = count_of_axis(at, offset, line);
  const std::size_t chars = static_cast<std::size_t>(knots + 1) * single_step;
  header_line header;
  header.text = read_header_text(at, offset, line, chars, knots);
  header.coordinates.resize(static_cast<std::size_t>(knots));
  for (std::size_t v = 1; v <= static_cast<std::size_t>(knots); ++v) {
    const char* const value = header.text.data() + v * single_step;
    float& coordinate = header.coordinates[v - 1];
    if (value[0] != ' ' || !header_value_written(value + 1, coordinate)) {
      throw out_of_form(at.index, line, v + 1, value, single_step);
    }
    if ((v == 2 && coordinate == header.coordinates[0]) ||
        (v > 2 && !in_order(header.coordinates[v - 3], header.coordinates[v - 2], coordinate))) {
      throw out_of_order(at.index, line, v + 1, axis, value,
                         header.coordinates[1] > header.coordinates[0]);
    }
  }
  return header;
}

using file_header = std::array<header_line, 3>;

file_header read_header(map_file at) {
  file_header header;
  std::uint64_t offset = 0;
  for (int a = 0; a < 3; ++a) {
    header[static_cast<std::size_t>(a)] = read_header_line(at, offset, a);
    offset += header[static_cast<std::size_t>(a)].text.size();
  }
  return header;
}

bool same_header(const file_header& one, const file_header& other) {
  for (std::size_t a = 0; a < 3; ++a) {
    if (one[a].text != other[a].text) return false;
  }
  return true;
}

// The header most files share (the first of them where as many share another): a file taken
// from another map is the odd one out, even the first.
std::size_t shared_header(const std::array<file_header, map_files>& headers) {
  std::size_t best = 0;
  int best_count = 0;
  for (std::size_t f = 0; f < map_files; ++f) {
    const auto count = std::count_if(headers.begin(), headers.end(), [&](const file_header& h) {
      return same_header(h, headers[f]);
    });
    if (count > best_count) {
      best = f;
      best_count = static_cast<int>(count);
    }
  }
  return best;
}

void check_same_axes(const std::array<file_header, map_files>& headers) {
  const std::size_t shared = shared_header(headers);
  for (std::size_t f = 0; f < map_files; ++f) {
    for (std::size_t a = 0; a < 3; ++a) {
      if (headers[f][a].text == headers[shared][a].text) continue;
      map_fault fault = fault_at(map_damage::axes_differ, f, static_cast<std::int64_t>(a) + 1);
      fault.axis = static_cast<int>(a);
      fault.other_file = shared;
      throw fault;
    }
  }
}

struct body_shape {
  map_knots knots;
  std::int64_t lines;      // of the body
  std::size_t line_chars;  // without the line end
  const body_line_check* also;
};

// The lines the axes make of a file, its header's among them.
std::uint64_t file_lines(const body_shape& shape) {
  return static_cast<std::uint64_t>(shape.lines) + 3;
}

std::optional<map_fault> fault_in_line(map_file at, const body_shape& shape, const char* text,
                                       std::int64_t n, std::uint64_t offset,
                                       std::vector<char>& scratch) {
  const std::int64_t line = n + 4;
  const auto* end = static_cast<const char*>(std::memchr(text, '\n', shape.line_chars + 1));
  if (end != text + shape.line_chars) {
    const std::uint64_t found =
        end != nullptr ? static_cast<std::uint64_t>(end - text) : line_length_from(at.file, offset);
    return line_length(at.index, line, found, shape.line_chars, shape.knots[0]);
  }
  for (std::size_t v = 0; v < static_cast<std::size_t>(shape.knots[0]); ++v) {
    const char* const value = text + v * double_step;
    if (value[0] != ' ' || !in_number_form(value + 1, double_form)) {
      return out_of_form(at.index, line, v + 1, value, double_step);
    }
  }
  if (*shape.also) {
    std::optional<map_fault> wrong = (*shape.also)(at.index, n, text, scratch);
    if (wrong) {
      wrong->file = at.index;
      wrong->line = line;
    }
    return wrong;
  }
  return std::nullopt;
}

// Lines [first, end) of file `f`, block by block; the first fault among them.
std::optional<map_fault> check_stretch(const read_map& map, std::size_t f, const body_shape& shape,
                                       std::int64_t first, std::int64_t end,
                                       std::vector<char>& block, std::vector<char>& scratch,
                                       const std::atomic<bool>& stop) {
  const map_file at{map.files[f], f};
  const std::uint64_t line_bytes = shape.line_chars + 1;
  const auto per_block =
      static_cast<std::int64_t>(std::max<std::uint64_t>(1, block_bytes / line_bytes));
  for (std::int64_t n = first; n < end && !stop.load(std::memory_order_relaxed); n += per_block) {
    const std::int64_t lines = std::min(per_block, end - n);
    const std::uint64_t offset = body_line_offset(shape.knots, n);
    const std::size_t got =
        read_map_bytes(at.file, block.data(), static_cast<std::size_t>(lines) * line_bytes, offset);
    for (std::int64_t m = 0; m < lines; ++m) {
      const std::uint64_t start = static_cast<std::uint64_t>(m) * line_bytes;
      if (got <= start) return missing_line(f, n + m + 4, file_lines(shape));
      if (got < start + line_bytes) {
        // The file ends inside the line: its length up to the line end, or to the end.
        const auto* line_end = static_cast<const char*>(
            std::memchr(block.data() + start, '\n', static_cast<std::size_t>(got - start)));
        const std::uint64_t found =
            line_end != nullptr ? static_cast<std::uint64_t>(line_end - block.data()) - start
                                : got - start;
        if (found != shape.line_chars) {
          return line_length(f, n + m + 4, found, shape.line_chars, shape.knots[0]);
        }
        return fault_at(map_damage::no_line_end, f, n + m + 4);
      }
      std::optional<map_fault> fault =
          fault_in_line(at, shape, block.data() + start, n + m, offset + start, scratch);
      if (fault) return fault;
    }
  }
  return std::nullopt;
}

// Text after the last line the counts make.
void check_nothing_after(const read_map& map, const body_shape& shape) {
  const std::uint64_t size = bytes_per_file(shape.knots);
  for (std::size_t f = 0; f < map_files; ++f) {
    if (map.files[f].size <= size) continue;
    char start[64] = {};
    const std::size_t got = read_map_bytes(map.files[f], start, sizeof start, size);
    const std::string_view text(start, got);
    map_fault fault = fault_at(map_damage::text_after_body, f, shape.lines + 4);
    fault.text = std::string(text.substr(0, text.find('\n')));
    fault.due = file_lines(shape);
    throw fault;
  }
}

}  // namespace

std::uint64_t body_line_offset(map_knots knots, std::int64_t n) {
  return header_bytes(knots) + static_cast<std::uint64_t>(n) * body_line_bytes(knots);
}

std::size_t read_map_bytes(const table_file& file, char* data, std::size_t size,
                           std::uint64_t offset) {
  std::size_t got = 0;
  while (got < size) {
    const std::int64_t count = read_at(file.file.fd, data + got, size - got, offset + got);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw failure{fault::cannot_read, file.name, errno};
    }
    got += static_cast<std::size_t>(count);
  }
  return got;
}

read_map open_written_map(const output_names& names) {
  read_map map;
  for (std::size_t f = 0; f < map_files; ++f) map.files[f] = open_table(names[f]);
  std::array<file_header, map_files> headers;
  for (std::size_t f = 0; f < map_files; ++f) headers[f] = read_header({map.files[f], f});
  check_same_axes(headers);
  for (std::size_t a = 0; a < 3; ++a) {
    map.axes.coordinates[a] = headers[0][a].coordinates;
    map.knots[a] = static_cast<std::int64_t>(map.axes.coordinates[a].size());
  }
  return map;
}

void check_map_bodies(const read_map& map, int threads, const body_line_check& also) {
  body_shape shape;
  shape.also = &also;
  shape.knots = map.knots;
  shape.lines = map.knots[1] * map.knots[2];
  shape.line_chars = static_cast<std::size_t>(map.knots[0]) * double_step;
  const std::uint64_t line_bytes = shape.line_chars + 1;
  const int workers = body_threads(map.knots, threads);
  // Stretches of every file, the first of each file first, as the writer cuts them.
  struct stretch {
    std::size_t file;
    std::int64_t first;
    std::int64_t end;
  };
  std::vector<stretch> stretches;
  const std::int64_t cuts =
      std::clamp<std::int64_t>(4 * workers, 1, std::max<std::int64_t>(1, shape.lines));
  for (std::int64_t n = 0; n < cuts; ++n) {
    for (std::size_t f = 0; f < map_files; ++f) {
      stretches.push_back({f, shape.lines * n / cuts, shape.lines * (n + 1) / cuts});
    }
  }
  std::vector<std::optional<map_fault>> faults(stretches.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  const std::size_t block_size = static_cast<std::size_t>(
      std::max<std::uint64_t>(line_bytes, block_bytes / line_bytes * line_bytes));
  run_parts(workers, [&](int) {
    try {
      std::vector<char> block(block_size);
      std::vector<char> scratch;
      for (std::size_t s = next++; s < stretches.size() && !stop; s = next++) {
        faults[s] = check_stretch(map, stretches[s].file, shape, stretches[s].first,
                                  stretches[s].end, block, scratch, stop);
      }
    } catch (...) {
      stop = true;
      throw;
    }
  });
  const map_fault* first = nullptr;
  for (const std::optional<map_fault>& fault : faults) {
    if (!fault) continue;
    if (first == nullptr || fault->file < first->file ||
        (fault->file == first->file && fault->line < first->line)) {
      first = &*fault;
    }
  }
  if (first != nullptr) throw *first;
  check_nothing_after(map, shape);
}

}  // namespace vort
