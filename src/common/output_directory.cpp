#include "common/output_directory.hpp"

#include <cerrno>
#include <cstring>

#include "common/failure.hpp"
#include "platform/file_status.hpp"
#include "platform/path_parts.hpp"

namespace vort {
void check_output_directory(const std::string& name) {
  const std::string directory = directory_part(name);
  const std::string refusal = "cannot create " + in_quotes(name) + ": ";
  file_status status;
  if (status_of(directory.c_str(), status) != 0) {
    // ENOTDIR: a part of the path is a file, so no such directory either.
    if (errno == ENOENT || errno == ENOTDIR) {
      throw failure{refusal + "the directory " + in_quotes(directory) + " does not exist"};
    }
    throw failure{refusal + std::strerror(errno)};
  }
  if (status.kind != file_kind::directory) {
    throw failure{refusal + in_quotes(directory) + " is not a directory"};
  }
  if (may_add_files(directory.c_str()) != 0) {
    throw failure{refusal + std::strerror(errno)};
  }
}

}  // namespace vort
