// Windows separates directories with '\' and '/' alike; a path may start with a drive
// ("C:"), a root ("\"), both, or a share ("\\server\share\").
#include "platform/path_parts.hpp"

namespace vort {
namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// How long the part of `path` is that names no directory of its own: "C:", "C:\", "\",
// "\\server\share\".
std::size_t root_length(const std::string& path) {
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    std::size_t at = 2;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
      while (at < path.size() && !is_separator(path[at])) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  std::size_t at = 0;
  if (path.size() >= 2 && path[1] == ':') at = 2;
  if (at < path.size() && is_separator(path[at])) ++at;
  return at;
}

}  // namespace

std::size_t name_start(const std::string& path) {
  const std::size_t root = root_length(path);
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos || separator < root) return root;
  return separator + 1;
}

std::string directory_part(const std::string& path) {
  const std::size_t root = root_length(path);
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos || separator < root) {
    return root == 0 ? "." : path.substr(0, root);
  }
  if (separator + 1 == root) return path.substr(0, root);
  return path.substr(0, separator);
}

bool backslash_separates_directories() {
  return true;
}

}  // namespace vort
