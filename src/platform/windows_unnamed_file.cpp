// Windows has no file without a name, but removes one opened for deletion on close when its
// last handle closes, however the process ends.
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/unnamed_file.hpp"
#include "platform/wide_text.hpp"
#include "platform/windows_handles.hpp"

namespace vort {

std::string temporary_directory() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return ".";
  std::wstring directory(path, length);
  // Without its closing separator, as TMPDIR is given, unless it is a root.
  if (directory.size() > 3 && directory.back() == L'\\') directory.pop_back();
  return utf8_from_wide(directory);
}

file_descriptor file_without_name(const char* directory) {
  static std::atomic<unsigned> made{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = std::string(directory) + "\\.VORT2Pelta-table-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(made.fetch_add(1));
    const file_descriptor fd =
        open_shared(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return no_descriptor;
}

file_descriptor unnamed_temporary(const char* directory) {
  return file_without_name(directory);
}

}  // namespace vort
