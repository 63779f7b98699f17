// GetDiskFreeSpaceExW asks by a directory's name: that of the open file, as the system has it.
#include <windows.h>

#include <string>

#include "platform/disk_space.hpp"
#include "platform/windows_handles.hpp"

namespace vort {

std::optional<disk_space> disk_space_of(file_descriptor fd) {
  wchar_t path[32768];
  const DWORD length =
      ::GetFinalPathNameByHandleW(handle_of(fd), path, 32768, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= 32768) return {};
  std::wstring directory(path, length);
  const std::size_t separator = directory.find_last_of(L'\\');
  if (separator != std::wstring::npos) directory.resize(separator + 1);
  ULARGE_INTEGER free_to_caller{}, total{};
  if (!::GetDiskFreeSpaceExW(directory.c_str(), &free_to_caller, &total, nullptr)) return {};
  return disk_space{total.QuadPart, free_to_caller.QuadPart};
}

}  // namespace vort
