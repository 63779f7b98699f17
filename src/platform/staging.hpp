// The calls that write a set of files beside those they replace and rename them into place,
// all or none: creating a private new file, a second name for an earlier file (a hard link,
// or a copy where links are refused), the rename, the removal, and writing files and
// directories out to the disk. Each returns 0, or -1 with errno, unless it says otherwise.
#pragma once

#include <cstdint>

#include "platform/descriptor.hpp"
#include "platform/file_status.hpp"

namespace vort {

// Creates `path`, which must not exist yet, for writing, with `permissions` (less the umask):
// the descriptor, or -1 with errno (EEXIST when a file of that name is there).
file_descriptor create_new_file(const char* path, std::uint32_t permissions);

// Opens `path` for reading, or a directory to write it out: the descriptor, or -1 with errno.
file_descriptor open_existing(const char* path);
file_descriptor open_directory(const char* path);

// Gives the open file these permissions (best effort: some file systems keep none).
void set_permissions(file_descriptor fd, std::uint32_t permissions);

// Gives the open file `to` the access and modification times of `from` (best effort).
void copy_times(file_descriptor from, file_descriptor to);

// A second name `to` for the file `from`; the file `from` renamed onto `to`, replacing it
// in one step; the name `path` removed. Async-signal-safe.
int link_file(const char* from, const char* to);
int rename_file(const char* from, const char* to);
int remove_file(const char* path);

// The bytes of `from` into the empty file `to`: shared blocks or a copy by the system where it
// can, else read and written here. 0 or the cause.
int copy_contents(file_descriptor from, file_descriptor to);

// The same, always read and written here: what `copy_contents` does where the system offers
// nothing better.
int copy_contents_by_blocks(file_descriptor from, file_descriptor to);

// Writes the file's data (`flush_file`) or a directory's entries (`flush_directory`) out to the
// disk and waits for it. A file system that cannot write a directory out on its own (EINVAL)
// needs nothing, and counts as done.
int flush_file(file_descriptor fd);
int flush_directory(file_descriptor fd);

// Asks the system to start writing the bytes [offset, offset + size) out to the disk, without
// waiting. Best effort: where the system cannot, nothing happens.
void start_writing_out(file_descriptor fd, std::uint64_t offset, std::uint64_t size);

}  // namespace vort
