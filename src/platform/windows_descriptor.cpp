#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/descriptor.hpp"
#include "platform/windows_handles.hpp"

namespace vort {

int close_descriptor(file_descriptor fd) {
  return ::_close(fd);
}

file_descriptor duplicate_descriptor(file_descriptor fd) {
  return ::_dup(fd);
}

std::FILE* stream_on_descriptor(file_descriptor fd, const char* mode) {
  return ::_fdopen(fd, mode);
}

// Windows starts the standard streams in text mode, which would write every newline as
// CR LF and end a read at a Ctrl-Z: binary mode makes the transcript and a table read from
// standard input the bytes they are on Linux.
void occupy_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (handle_of(fd) == INVALID_HANDLE_VALUE) {
      // The lowest free descriptor is this one: every one below it is open.
      if (::_open("NUL", _O_RDONLY | _O_BINARY) < 0) return;
    }
    ::_setmode(fd, _O_BINARY);
  }
}

}  // namespace vort
