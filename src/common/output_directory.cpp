#include "common/output_directory.hpp"

#include <cerrno>

#include "common/failure.hpp"
#include "platform/file_status.hpp"
#include "platform/path_parts.hpp"

namespace vort {
void check_output_directory(const std::string& name) {
  const std::string directory = directory_part(name);
  file_status status;
  if (status_of(directory.c_str(), status) != 0) {
    // ENOTDIR: a part of the path is a file, so no such directory either.
    if (errno == ENOENT || errno == ENOTDIR) {
      throw failure{fault::create_missing_directory, name, 0, {directory}};
    }
    throw failure{fault::cannot_create, name, errno};
  }
  if (status.kind != file_kind::directory) {
    throw failure{fault::create_not_a_directory, name, 0, {directory}};
  }
  if (may_add_files(directory.c_str()) != 0) throw failure{fault::cannot_create, name, errno};
}

}  // namespace vort
