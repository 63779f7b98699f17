// Linux makes a file that never had a name (O_TMPFILE), on the file systems that support it.
#include <fcntl.h>

#include "platform/unnamed_file.hpp"

namespace vort {

file_descriptor file_without_name(const char* directory) {
  return ::open(directory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace vort
