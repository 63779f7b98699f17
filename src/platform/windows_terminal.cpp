// A console on Windows: a character device that answers GetConsoleMode. It shows UTF-8 when
// its output code page is UTF-8, which the program asks for.
#include <windows.h>

#include "platform/terminal.hpp"
#include "platform/windows_handles.hpp"

namespace vort {

bool is_terminal(file_descriptor fd) {
  const HANDLE handle = handle_of(fd);
  DWORD mode = 0;
  return ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != 0;
}

// Names are written as UTF-8 bytes: the console shows them when it reads them as such, and
// a file or pipe keeps them as the program's files have them.
bool console_speaks_utf8() {
  if (::GetConsoleOutputCP() == CP_UTF8) return true;
  return ::SetConsoleOutputCP(CP_UTF8) != 0 || ::GetConsoleWindow() == nullptr;
}

bool terminal_takes_escapes(file_descriptor fd) {
  const HANDLE handle = handle_of(fd);
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace vort
