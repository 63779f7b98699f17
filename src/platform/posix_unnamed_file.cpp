#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/unnamed_file.hpp"

namespace vort {

std::string temporary_directory() {
  const char* set = std::getenv("TMPDIR");
  return set != nullptr && *set != '\0' ? set : "/tmp";
}

file_descriptor unnamed_temporary(const char* directory) {
  const file_descriptor unnamed = file_without_name(directory);
  if (unnamed >= 0) return unnamed;
  std::string pattern = std::string(directory) + "/.VORT2Pelta-table-XXXXXX";
  const file_descriptor named = ::mkstemp(pattern.data());
  if (named < 0) return named;
  ::fcntl(named, F_SETFD, FD_CLOEXEC);
  ::unlink(pattern.c_str());
  return named;
}

}  // namespace vort
