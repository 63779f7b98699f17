// Windows tells a file's identity by its volume's serial number and its index on the volume,
// and keeps no POSIX owner or mode: a file shows as the user's own, read-only where its
// attribute says so.
#include <windows.h>

#include <cerrno>

#include "platform/file_status.hpp"
#include "platform/wide_text.hpp"
#include "platform/windows_handles.hpp"

namespace vort {
namespace {

file_status status_from(HANDLE handle) {
  file_status out;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = ::GetFileType(handle);
  if (type != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)) {
    out.kind = file_kind::other;
    out.permissions = 0600;
    return out;
  }
  const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  out.kind = directory ? file_kind::directory : file_kind::regular;
  out.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  out.permissions = directory ? 0755 : read_only ? 0444 : 0644;
  out.identity = {info.dwVolumeSerialNumber,
                  (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return out;
}

int status_by_name(const char* path, DWORD flags, file_status& status) {
  const HANDLE handle = ::CreateFileW(
      wide_from_utf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail_with_last_error();
  status = status_from(handle);
  ::CloseHandle(handle);
  return 0;
}

}  // namespace

int status_of(const char* path, file_status& status) {
  return status_by_name(path, 0, status);
}

int link_status_of(const char* path, file_status& status) {
  return status_by_name(path, FILE_FLAG_OPEN_REPARSE_POINT, status);
}

int status_of_open(file_descriptor fd, file_status& status) {
  const HANDLE handle = handle_of(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  status = status_from(handle);
  return 0;
}

bool names_open_file(const char* path, file_descriptor fd) {
  file_status open, named;
  return status_of_open(fd, open) == 0 && open.kind != file_kind::other &&
         status_of(path, named) == 0 && open.identity == named.identity;
}

int may_write_file(const char* path) {
  const DWORD attributes = ::GetFileAttributesW(wide_from_utf8(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail_with_last_error();
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

// Windows tells what a directory takes only when a file is made in it, which the staging
// tries anyway.
int may_add_files(const char* directory) {
  const DWORD attributes = ::GetFileAttributesW(wide_from_utf8(directory).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail_with_last_error();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    errno = ENOTDIR;
    return -1;
  }
  return 0;
}

std::uint32_t effective_user() {
  return 0;
}

// No Windows directory has the sticky bit that this answer matters for.
bool user_is_administrator() {
  return false;
}

int process_number() {
  return static_cast<int>(::GetCurrentProcessId());
}

// A directory opens too, so that it can be told from a file.
file_descriptor open_for_reading(const char* path) {
  return open_shared(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

void make_blocking(file_descriptor) {}

}  // namespace vort
