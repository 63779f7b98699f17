#include "common/map_lock.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/failure.hpp"
#include "common/interrupts.hpp"
#include "platform/file_lock.hpp"
#include "platform/file_status.hpp"
#include "platform/path_parts.hpp"
#include "platform/staging.hpp"

namespace vort {
namespace {

[[noreturn]] void refuse(const std::string& path, int error) {
  throw failure{fault::cannot_lock, path, error};
}

// Whether the name still leads to the file that is open: a holder removes the file before it
// lets go, and a run that waited on the removed file must not count it as the lock.
bool still_named(const char* path, file_descriptor fd) {
  return names_open_file(path, fd);
}

}  // namespace

map_lock::~map_lock() {
  release(*this);
}

std::string map_lock_path(const std::string& base_name) {
  const std::size_t file_start = name_start(base_name);  // 0 without a directory part
  return base_name.substr(0, file_start) + ".3D-" + base_name.substr(file_start) + ".lock";
}

map_lock lock_maps(const std::string& path, const std::function<void()>& on_wait) {
  map_lock lock;
  lock.path = std::make_unique<char[]>(path.size() + 1);
  std::memcpy(lock.path.get(), path.c_str(), path.size() + 1);
  bool waited = false;
  for (;;) {
    file_descriptor fd = no_descriptor;
    {
      // The file made and, where no run holds it, locked and registered while interrupts
      // wait: an interrupt in between would leave it behind.
      const interrupts_held held;
      // Opened to read only, so that a file that another user's run made serves.
      fd = open_lock_file(lock.path.get());
      if (fd < 0) refuse(path, errno);
      if (try_lock(fd) == 0) {
        if (still_named(lock.path.get(), fd)) {
          register_lock_file(lock.path.get());
          lock.fd = fd;
          return lock;
        }
        close_descriptor(fd);
        continue;
      }
      if (!lock_is_held_elsewhere(errno)) {
        // A file system that locks nothing: no run can hold the file, so it goes, and the run
        // writes its maps unlocked, as it could before.
        const int error = errno;
        close_descriptor(fd);
        remove_file(lock.path.get());
        if (file_system_locks_nothing(error)) return map_lock{};
        refuse(path, error);
      }
    }
    if (!waited) on_wait();
    waited = true;
    // The wait itself may be interrupted: the file is not ours yet, and stays.
    while (wait_for_lock(fd) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        close_descriptor(fd);
        refuse(path, error);
      }
    }
    const interrupts_held held;
    if (still_named(lock.path.get(), fd)) {
      register_lock_file(lock.path.get());
      lock.fd = fd;
      return lock;
    }
    close_descriptor(fd);
  }
}

void release(map_lock& lock) {
  if (lock.fd < 0) return;
  const interrupts_held held;
  remove_file(lock.path.get());
  forget_lock_file();
  close_descriptor(std::exchange(lock.fd, no_descriptor));
}

}  // namespace vort
