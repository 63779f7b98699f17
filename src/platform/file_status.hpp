// What the system tells of a file by its name or its descriptor, and the checks made before a
// file is opened for reading or replaced.
#pragma once

#include <cstdint>

#include "platform/descriptor.hpp"

namespace vort {

// Which file a name or a descriptor leads to: two with the same identity are one file,
// whatever links or mounts lead to it.
struct file_identity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const file_identity&) const = default;
};

enum class file_kind { regular, directory, other };

struct file_status {
  file_kind kind = file_kind::other;
  std::uint64_t size = 0;
  std::uint32_t permissions = 0;  // the mode's low twelve bits, as chmod(2) takes them
  std::uint32_t owner = 0;
  bool sticky = false;  // a directory where only owners may remove or replace a file
  file_identity identity;
};

// The status of the file `path` leads to, its symbolic links followed (`status_of`) or not
// (`link_status_of`), or of an open file: 0, or -1 with errno.
int status_of(const char* path, file_status& status);
int link_status_of(const char* path, file_status& status);
int status_of_open(file_descriptor fd, file_status& status);

// Whether `path`, its symbolic links followed, is the file open on `fd`.
bool names_open_file(const char* path, file_descriptor fd);

// Whether this process may write the file `path` (0), or may create and find files in the
// directory `path` (0); -1 with errno otherwise.
int may_write_file(const char* path);
int may_add_files(const char* directory);

// The effective user, as `file_status::owner` counts, and whether that user is the
// administrator, whom no permission stops.
std::uint32_t effective_user();
bool user_is_administrator();

// The process's number, for names no other running process chooses.
int process_number();

// Opens `path` for reading without waiting for a writer (a pipe without one would hold the
// open); `make_blocking` then lets reads wait again. -1 with errno.
file_descriptor open_for_reading(const char* path);
void make_blocking(file_descriptor fd);

}  // namespace vort
