// An advisory lock on the maps of one base name in their directory, held from the creation of
// their temporaries to the last rename: two runs that write maps of the same name at once take
// turns, so that the set left in place is wholly one run's, never the real parts of one and
// the imaginary parts of the other.
//
// The lock is flock(2) on a hidden empty file beside the maps (".3D-<base>.lock"), removed by
// its holder before it lets go. A run that opened the file while another held it finds, once
// it holds it, whether the name still leads to that file, and else starts again: so no two
// runs ever hold locks of one name. An interrupt removes the file of the run that holds it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/descriptor.hpp"

namespace vort {

struct map_lock {
  std::unique_ptr<char[]> path;  // null when no lock is held
  file_descriptor fd = no_descriptor;

  map_lock() = default;
  // The lock moves whole: the moved-from one holds nothing and lets go of nothing.
  map_lock(map_lock&& other) noexcept
      : path(std::move(other.path)), fd(std::exchange(other.fd, no_descriptor)) {}
  map_lock& operator=(map_lock&& other) noexcept = delete;
  ~map_lock();  // lets go, as `release` does
};

// The lock's file for the maps of `base_name` (a directory part puts it there).
std::string map_lock_path(const std::string& base_name);

// Takes the lock of `path`, waiting for a run that holds it; `on_wait` is called once before
// such a wait. On a file system that locks nothing, returns a lock that holds nothing. Throws
// `failure` `cannot_lock` where the file cannot be made or locked otherwise.
map_lock lock_maps(const std::string& path, const std::function<void()>& on_wait);

// Removes the lock's file and lets go, with interrupts held back meanwhile.
void release(map_lock& lock);

}  // namespace vort
