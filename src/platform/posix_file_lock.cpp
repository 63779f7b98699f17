#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.hpp"

namespace vort {

file_descriptor open_lock_file(const char* path) {
  // Read-only is enough for flock.
  return ::open(path, O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
}

int try_lock(file_descriptor fd) {
  return ::flock(fd, LOCK_EX | LOCK_NB);
}

bool lock_is_held_elsewhere(int error) {
  return error == EWOULDBLOCK;
}

bool file_system_locks_nothing(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

int wait_for_lock(file_descriptor fd) {
  return ::flock(fd, LOCK_EX);
}

}  // namespace vort
