#include "common/map_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/failure.hpp"
#include "common/interrupts.hpp"

namespace vort {
namespace {

[[noreturn]] void refuse(const std::string& path, int error) {
  throw failure{"cannot lock " + in_quotes(path) + ": " + std::strerror(error)};
}

// Whether the name still leads to the file that is open: a holder removes the file before it
// lets go, and a run that waited on the removed file must not count it as the lock.
bool still_named(const char* path, int fd) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::stat(path, &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

}  // namespace

map_lock::~map_lock() {
  release(*this);
}

std::string map_lock_path(const std::string& base_name) {
  const std::size_t file_start = base_name.rfind('/') + 1;  // 0 without a directory part
  return base_name.substr(0, file_start) + ".3D-" + base_name.substr(file_start) + ".lock";
}

map_lock lock_maps(const std::string& path, const std::function<void()>& on_wait) {
  map_lock lock;
  lock.path = std::make_unique<char[]>(path.size() + 1);
  std::memcpy(lock.path.get(), path.c_str(), path.size() + 1);
  bool waited = false;
  for (;;) {
    int fd = -1;
    {
      // The file made and, where no run holds it, locked and registered while interrupts
      // wait: an interrupt in between would leave it behind.
      const interrupts_held held;
      // Read-only is enough for flock, and lets a file that another user's run made serve.
      fd = ::open(lock.path.get(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) refuse(path, errno);
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (still_named(lock.path.get(), fd)) {
          register_lock_file(lock.path.get());
          lock.fd = fd;
          return lock;
        }
        ::close(fd);
        continue;
      }
      if (errno != EWOULDBLOCK) {
        // A file system that locks nothing (ENOLCK on some network file systems): no run can
        // hold the file, so it goes, and the run writes its maps unlocked, as it could before.
        const int error = errno;
        ::close(fd);
        ::unlink(lock.path.get());
        if (error == ENOLCK || error == EOPNOTSUPP || error == EINVAL) return map_lock{};
        refuse(path, error);
      }
    }
    if (!waited) on_wait();
    waited = true;
    // The wait itself may be interrupted: the file is not ours yet, and stays.
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(fd);
        refuse(path, error);
      }
    }
    const interrupts_held held;
    if (still_named(lock.path.get(), fd)) {
      register_lock_file(lock.path.get());
      lock.fd = fd;
      return lock;
    }
    ::close(fd);
  }
}

void release(map_lock& lock) {
  if (lock.fd < 0) return;
  const interrupts_held held;
  ::unlink(lock.path.get());
  forget_lock_file();
  ::close(std::exchange(lock.fd, -1));
}

}  // namespace vort
