#include "platform/path_parts.hpp"

namespace vort {

std::size_t name_start(const std::string& path) {
  return path.rfind('/') + 1;  // npos + 1 is 0
}

std::string directory_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool backslash_separates_directories() {
  return false;
}

}  // namespace vort
