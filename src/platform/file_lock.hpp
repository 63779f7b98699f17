// An advisory lock on a whole file, held by its open descriptor and gone when that closes.
#pragma once

#include "platform/descriptor.hpp"

namespace vort {

// Opens `path` for the lock, creating it (readable by all) where it is missing; any user who
// can read it can lock it. The descriptor, or -1 with errno.
file_descriptor open_lock_file(const char* path);

// Takes the lock without waiting: 0, or -1 with errno; `lock_is_held_elsewhere` tells the
// errno of a lock that another open file holds, `file_system_locks_nothing` that of a file
// system that takes no locks (some network file systems).
int try_lock(file_descriptor fd);
bool lock_is_held_elsewhere(int error);
bool file_system_locks_nothing(int error);

// Takes the lock, waiting for its holder: 0, or -1 with errno (EINTR when a signal came).
int wait_for_lock(file_descriptor fd);

}  // namespace vort
