// The staged set on Windows: files opened so that they can be renamed and removed while
// open, as on POSIX; a rename that replaces its target written through to the disk before
// it returns; hard links where the file system has them.
#include <windows.h>

#include <cerrno>
#include <vector>

#include "platform/positional_io.hpp"
#include "platform/staging.hpp"
#include "platform/wide_text.hpp"
#include "platform/windows_handles.hpp"

namespace vort {

file_descriptor create_new_file(const char* path, std::uint32_t) {
  return open_shared(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

file_descriptor open_existing(const char* path) {
  return open_shared(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

file_descriptor open_directory(const char* path) {
  return open_shared(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

// A file's access is its attributes' and its ACL's, which a replacement inherits from its
// directory as the earlier file did: nothing to copy.
void set_permissions(file_descriptor, std::uint32_t) {}

void copy_times(file_descriptor from, file_descriptor to) {
  FILETIME created{}, accessed{}, written{};
  if (!::GetFileTime(handle_of(from), &created, &accessed, &written)) return;
  ::SetFileTime(handle_of(to), nullptr, &accessed, &written);
}

int link_file(const char* from, const char* to) {
  if (!::CreateHardLinkW(wide_from_utf8(to).c_str(), wide_from_utf8(from).c_str(), nullptr)) {
    return fail_with_last_error();
  }
  return 0;
}

int rename_file(const char* from, const char* to) {
  if (!::MoveFileExW(wide_from_utf8(from).c_str(), wide_from_utf8(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail_with_last_error();
  }
  return 0;
}

int remove_file(const char* path) {
  if (!::DeleteFileW(wide_from_utf8(path).c_str())) return fail_with_last_error();
  return 0;
}

int copy_contents(file_descriptor from, file_descriptor to) {
  return copy_contents_by_blocks(from, to);
}

int copy_contents_by_blocks(file_descriptor from, file_descriptor to) {
  std::vector<char> block(std::size_t{1} << 20);
  for (std::uint64_t offset = 0;;) {
    const std::int64_t got = read_at(from, block.data(), block.size(), offset);
    if (got == 0) return 0;
    if (got < 0) return errno;
    if (const int error = write_all_at(to, block.data(), static_cast<std::size_t>(got), offset)) {
      return error;
    }
    offset += static_cast<std::uint64_t>(got);
  }
}

// FlushFileBuffers needs a handle that may write, which a file opened for reading is not:
// it is opened again for writing, alongside.
int flush_file(file_descriptor fd) {
  const HANDLE handle = handle_of(fd);
  if (::FlushFileBuffers(handle)) return 0;
  if (::GetLastError() != ERROR_ACCESS_DENIED) return fail_with_last_error();
  const HANDLE writer = ::ReOpenFile(handle, GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writer == INVALID_HANDLE_VALUE) return fail_with_last_error();
  const BOOL flushed = ::FlushFileBuffers(writer);
  const DWORD error = ::GetLastError();
  ::CloseHandle(writer);
  if (!flushed) {
    errno = errno_for_system_error(error);
    return -1;
  }
  return 0;
}

// NTFS journals its directories: a rename written through needs nothing more.
int flush_directory(file_descriptor) {
  return 0;
}

void start_writing_out(file_descriptor, std::uint64_t, std::uint64_t) {}

}  // namespace vort
