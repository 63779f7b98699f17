// LockFileEx locks a range of bytes, which on Windows keeps others from reading or writing
// it too: the lock file holds no data, so its whole range can be locked.
#include <windows.h>

#include <cerrno>

#include "platform/file_lock.hpp"
#include "platform/windows_handles.hpp"

namespace vort {
namespace {

int lock_whole_file(file_descriptor fd, DWORD flags) {
  OVERLAPPED from_start{};
  if (!::LockFileEx(handle_of(fd), LOCKFILE_EXCLUSIVE_LOCK | flags, 0, MAXDWORD, MAXDWORD,
                    &from_start)) {
    return fail_with_last_error();
  }
  return 0;
}

}  // namespace

file_descriptor open_lock_file(const char* path) {
  return open_shared(path, GENERIC_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

int try_lock(file_descriptor fd) {
  return lock_whole_file(fd, LOCKFILE_FAIL_IMMEDIATELY);
}

bool lock_is_held_elsewhere(int error) {
  return error == EWOULDBLOCK;
}

bool file_system_locks_nothing(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

int wait_for_lock(file_descriptor fd) {
  return lock_whole_file(fd, 0);
}

}  // namespace vort
