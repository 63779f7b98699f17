// What the Windows files of this folder share: the system handle behind a descriptor, a new
// descriptor for a handle, and the system's error codes told as the POSIX numbers that
// callers word.
#pragma once

#include <string>

#include "platform/descriptor.hpp"

namespace vort {

// The handle (a HANDLE) of an open descriptor, or INVALID_HANDLE_VALUE.
void* handle_of(file_descriptor fd);

// A descriptor that owns `handle` from then on (binary, as every file here is); -1 with errno,
// the handle closed, when none can be had.
file_descriptor descriptor_for(void* handle);

// Sets errno to the POSIX number for the system's last error and returns -1.
int fail_with_last_error();
int errno_for_system_error(unsigned long code);

// Opens `path` (UTF-8) as CreateFileW does, sharing it the way POSIX files are shared (read,
// written, renamed and removed while open): the descriptor, or -1 with errno.
file_descriptor open_shared(const std::string& path, unsigned long access, unsigned long creation,
                            unsigned long flags);

}  // namespace vort
