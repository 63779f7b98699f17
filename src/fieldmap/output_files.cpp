#include "fieldmap/output_files.hpp"

#include <algorithm>

namespace vort {
namespace {

void write_header_line(output_file& file, const std::vector<float>& axis) {
  for (const float element : axis) put_value(file, element, single_form);
  end_line(file);
}

// A buffer holds a whole file, or as much of a large one as `output_buffer_size`, and at
// least one field.
std::size_t buffer_size_for(std::uint64_t bytes_per_file) {
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(bytes_per_file, max_field_width + 2, output_buffer_size));
}

}  // namespace

output_names build_output_names(const std::string& o_file_name, const field_kind& kind) {
  output_names names;
  for (std::size_t i = 0; i < 3; ++i) {
    names.o_filer[i] = "3D_Re-" + o_file_name + std::string(kind.ext[i]);
    names.o_filei[i] = "3D_Im-" + o_file_name + std::string(kind.ext[i]);
  }
  return names;
}

std::uint64_t bytes_per_file(const mesh::axes& axes) {
  return bytes_per_file({static_cast<std::int64_t>(axes.xcoo.size()),
                         static_cast<std::int64_t>(axes.ycoo.size()),
                         static_cast<std::int64_t>(axes.zcoo.size())});
}

std::uint64_t bytes_per_file(mesh::map_knots knots) {
  const auto x = static_cast<std::uint64_t>(knots.x), y = static_cast<std::uint64_t>(knots.y),
             z = static_cast<std::uint64_t>(knots.z);
  const std::uint64_t header = (x + y + z) * (single_form.width + 1) + 3;
  const std::uint64_t body =
      (x - 1) * (y - 1) * (z - 1) * (double_form.width + 1) + (y - 1) * (z - 1);
  return header + body;
}

std::uint64_t output_buffer_bytes(mesh::map_knots knots) {
  return map_files * buffer_size_for(bytes_per_file(knots));
}

output_set open_output_files(const output_names& names, std::uint64_t bytes_per_file,
                             std::span<const std::string> with_them) {
  const std::size_t buffer_size = buffer_size_for(bytes_per_file);
  std::vector<std::string> file_names(names.o_filer.begin(), names.o_filer.end());
  file_names.insert(file_names.end(), names.o_filei.begin(), names.o_filei.end());
  for (const std::string& name : file_names) check_replaceable(name);
  file_names.insert(file_names.end(), with_them.begin(), with_them.end());
  check_distinct_files(file_names);
  output_set set;
  for (std::size_t u = 0; u < map_files; ++u) {
    set.files[u].staged = stage_file(file_names[u]);
    set.files[u].buffer = std::make_unique_for_overwrite<char[]>(buffer_size);
    set.files[u].capacity = buffer_size;
  }
  return set;
}

void write_headers(output_set& set, const mesh::axes& axes) {
  for (output_file& file : set.files) {
    write_header_line(file, axes.xcoo);
    write_header_line(file, axes.ycoo);
    write_header_line(file, axes.zcoo);
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

void close_output_files(output_set& set) {
  finish_output_files(set);
  commit_staged(staged_files(set));
}

}  // namespace vort
