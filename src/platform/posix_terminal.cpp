#include <langinfo.h>
#include <unistd.h>

#include <cstring>

#include "platform/terminal.hpp"

namespace vort {

bool is_terminal(file_descriptor fd) {
  return ::isatty(fd) == 1;
}

bool console_speaks_utf8() {
  return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// Every terminal that POSIX systems run today does.
bool terminal_takes_escapes(file_descriptor) {
  return true;
}

}  // namespace vort
