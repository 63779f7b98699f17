#include "fieldmap/output_files.hpp"

#include <algorithm>

namespace vort {
namespace {

// The knot count, then the coordinates.
void write_header_line(output_file& file, const std::vector<float>& coordinates) {
  put_value(file, static_cast<float>(coordinates.size()), single_form);
  for (const float coordinate : coordinates) put_value(file, coordinate, single_form);
  end_line(file);
}

}  // namespace

std::string output_file_name(const std::string& base_name, std::string_view prefix,
                             std::string_view suffix) {
  const std::size_t file_start = base_name.rfind('/') + 1;  // 0 without a directory part
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

std::uint64_t bytes_per_file(map_knots knots) {
  const auto x = static_cast<std::uint64_t>(knots[0]), y = static_cast<std::uint64_t>(knots[1]),
             z = static_cast<std::uint64_t>(knots[2]);
  const std::uint64_t header = (x + y + z + 3) * (single_form.width + 1) + 3;
  const std::uint64_t body = x * y * z * (double_form.width + 1) + y * z;
  return header + body;
}

std::size_t output_buffer_bytes(std::uint64_t bytes_per_file) {
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(bytes_per_file, max_field_width + 2, output_buffer_size));
}

output_set open_output_files(const output_names& names, std::uint64_t bytes_per_file,
                             std::span<const std::string> with_them) {
  const std::size_t buffer_size = output_buffer_bytes(bytes_per_file);
  for (const std::string& name : names) check_replaceable(name);
  std::vector<std::string> every_name(names.begin(), names.end());
  every_name.insert(every_name.end(), with_them.begin(), with_them.end());
  check_distinct_files(every_name);
  output_set set;
  for (std::size_t u = 0; u < map_files; ++u) {
    set.files[u].staged = stage_file(names[u]);
    set.files[u].buffer = std::make_unique_for_overwrite<char[]>(buffer_size);
    set.files[u].capacity = buffer_size;
  }
  return set;
}

void write_headers(output_set& set, const map_axes& axes) {
  for (output_file& file : set.files) {
    for (const std::vector<float>& coordinates : axes.coordinates) {
      write_header_line(file, coordinates);
    }
  }
}

void flush_output(output_file& file) {
  write_staged(file.staged, file.buffer.get(), file.used);
  file.used = 0;
}

void finish_output_files(output_set& set) {
  for (output_file& file : set.files) {
    flush_output(file);
    close_staged(file.staged);
  }
}

std::vector<staged_file*> staged_files(output_set& set) {
  std::vector<staged_file*> files;
  for (output_file& file : set.files) files.push_back(&file.staged);
  return files;
}

}  // namespace vort
