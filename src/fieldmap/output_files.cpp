#include "fieldmap/output_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/failure.hpp"

namespace vort {
namespace {

[[noreturn]] void refuse_write(const output_file& file, int error) {
  throw failure{"cannot write " + in_quotes(file.name) + ": " + std::strerror(error)};
}

void write_header_line(output_file& file, const std::vector<float>& axis) {
  for (const float element : axis) put_value(file, element, single_form);
  end_line(file);
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
  const std::uint64_t x = axes.xcoo.size(), y = axes.ycoo.size(), z = axes.zcoo.size();
  const std::uint64_t header = (x + y + z) * (single_form.width + 1) + 3;
  const std::uint64_t body =
      (x - 1) * (y - 1) * (z - 1) * (double_form.width + 1) + (y - 1) * (z - 1);
  return header + body;
}

output_set open_output_files(const output_names& names, std::uint64_t bytes_per_file) {
  const std::size_t buffer_size = static_cast<std::size_t>(
      std::clamp<std::uint64_t>(bytes_per_file, max_field_width + 2, output_buffer_size));
  output_set set;
  for (std::size_t u = 0; u < map_files; ++u) {
    output_file& file = set.files[u];
    file.name = u < 3 ? names.o_filer[u] : names.o_filei[u - 3];
    errno = 0;
    file.handle.reset(std::fopen(file.name.c_str(), "wb"));
    if (!file.handle) {
      throw failure{"cannot create " + in_quotes(file.name) + ": " + std::strerror(errno)};
    }
    std::setvbuf(file.handle.get(), nullptr, _IONBF, 0);
    file.buffer.resize(buffer_size);
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
  if (file.used == 0) return;
  errno = 0;
  const std::size_t written = std::fwrite(file.buffer.data(), 1, file.used, file.handle.get());
  if (written != file.used) refuse_write(file, errno == 0 ? EIO : errno);
  file.used = 0;
}

void close_output_files(output_set& set) {
  std::string first_failure;
  for (output_file& file : set.files) {
    if (!file.handle) continue;
    try {
      flush_output(file);
    } catch (const failure& f) {
      if (first_failure.empty()) first_failure = f.message;
    }
    errno = 0;
    if (std::fclose(file.handle.release()) != 0 && first_failure.empty()) {
      first_failure = "cannot write " + in_quotes(file.name) + ": " + std::strerror(errno);
    }
  }
  if (!first_failure.empty()) throw failure{first_failure};
}

}  // namespace vort
