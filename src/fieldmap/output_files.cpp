#include "fieldmap/output_files.hpp"

#include <algorithm>

#include "platform/path_parts.hpp"

namespace vort {
namespace {

// The knot count, then the coordinates.
void write_header_line(text_sink& sink, const std::vector<float>& coordinates) {
  put_value(sink, static_cast<float>(coordinates.size()), single_form);
  for (const float coordinate : coordinates) put_value(sink, coordinate, single_form);
  end_line(sink);
}

}  // namespace

std::string output_file_name(const std::string& base_name, std::string_view prefix,
                             std::string_view suffix) {
  const std::size_t file_start = name_start(base_name);  // 0 without a directory part
  return base_name.substr(0, file_start) + std::string(prefix) + base_name.substr(file_start) +
         std::string(suffix);
}

output_names build_output_names(const std::string& base_name, const field_kind& kind) {
  output_names names;
  for (std::size_t u = 0; u < map_files; ++u) {
    names[u] = output_file_name(base_name, file_roles[u].real ? "3D_Re-" : "3D_Im-",
                                kind.ext[static_cast<std::size_t>(file_roles[u].component)]);
  }
  return names;
}

std::uint64_t header_bytes(map_knots knots) {
  const auto all = static_cast<std::uint64_t>(knots[0] + knots[1] + knots[2]);
  return (all + 3) * (single_form.width + 1) + 3;
}

std::uint64_t body_line_bytes(map_knots knots) {
  return static_cast<std::uint64_t>(knots[0]) * (double_form.width + 1) + 1;
}

std::uint64_t bytes_per_file(map_knots knots) {
  const auto lines = static_cast<std::uint64_t>(knots[1]) * static_cast<std::uint64_t>(knots[2]);
  return header_bytes(knots) + lines * body_line_bytes(knots);
}

std::size_t output_buffer_bytes(std::uint64_t bytes_per_file) {
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(bytes_per_file, max_field_width + 2, output_buffer_size));
}

void check_output_names(const output_names& names, std::span<const std::string> with_them) {
  std::vector<std::string> every_name(names.begin(), names.end());
  every_name.insert(every_name.end(), with_them.begin(), with_them.end());
  for (const std::string& name : every_name) check_replaceable(name);
  check_distinct_files(every_name);
}

output_set open_output_files(const output_names& names, std::span<const std::string> with_them) {
  check_output_names(names, with_them);
  output_set set;
  for (std::size_t u = 0; u < map_files; ++u) set.files[u] = stage_file(names[u]);
  return set;
}

void write_headers(output_set& set, const map_axes& axes) {
  map_knots knots{};
  for (std::size_t a = 0; a < 3; ++a) {
    knots[a] = static_cast<std::int64_t>(axes.coordinates[a].size());
  }
  const std::size_t size = output_buffer_bytes(header_bytes(knots));
  const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(size);
  for (staged_file& file : set.files) {
    text_sink sink{&file, buffer.get(), size};
    for (const std::vector<float>& coordinates : axes.coordinates) {
      write_header_line(sink, coordinates);
    }
    flush_output(sink);
  }
}

void flush_output(text_sink& sink) {
  write_staged_at(*sink.file, sink.buffer, sink.used, sink.offset);
  sink.offset += sink.used;
  sink.used = 0;
}

void finish_output_files(output_set& set) {
  for (staged_file& file : set.files) close_staged(file);
}

std::vector<staged_file*> staged_files(output_set& set) {
  std::vector<staged_file*> files;
  for (staged_file& file : set.files) files.push_back(&file);
  return files;
}

}  // namespace vort
