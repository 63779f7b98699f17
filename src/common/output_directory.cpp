#include "common/output_directory.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/failure.hpp"

namespace vort {
namespace {

// The directory part of a file name, "." for a name without one.
std::string directory_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

}  // namespace

void check_output_directory(const std::string& name) {
  const std::string directory = directory_of(name);
  const std::string refusal = "cannot create " + in_quotes(name) + ": ";
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) {
    // ENOTDIR: a part of the path is a file, so no such directory either.
    if (errno == ENOENT || errno == ENOTDIR) {
      throw failure{refusal + "the directory " + in_quotes(directory) + " does not exist"};
    }
    throw failure{refusal + std::strerror(errno)};
  }
  if (!S_ISDIR(status.st_mode)) {
    throw failure{refusal + in_quotes(directory) + " is not a directory"};
  }
  // A new file needs both: an entry written, and the directory searched.
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    throw failure{refusal + std::strerror(errno)};
  }
}

}  // namespace vort
