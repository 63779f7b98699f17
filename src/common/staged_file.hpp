// A file written beside the file it replaces, under a temporary name in the same directory,
// and renamed onto it only when complete: a failure or an interrupt leaves an earlier file
// whole and nothing half-written behind. A name that is a symbolic link replaces the file
// the link leads to, and the link stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "platform/descriptor.hpp"

namespace vort {

struct staged_file {
  std::string name;                   // as the user gave it: what messages name
  std::string target;                 // the file replaced: `name`, or where its links lead
  std::unique_ptr<char[]> temporary;  // the path written now; null once renamed or removed
  file_descriptor fd = no_descriptor;

  staged_file() = default;
  staged_file(staged_file&& other) noexcept = default;
  staged_file& operator=(staged_file&& other) noexcept;
  ~staged_file();  // removes a temporary that was not renamed
};

// Refuses, before anything is written, two names of one set that lead to the same file (one
// a symbolic link to another, say): one of the two maps would be lost. Throws `failure`
// `create_same_file` for the later name.
void check_distinct_files(std::span<const std::string> names);

// Refuses, before anything is written, a name that could not be replaced: a directory, a
// device or a pipe, a file without write permission, another user's file in a sticky
// directory, a name that leads (through a symbolic link) into a directory that is missing or
// takes no new file, or one whose hidden names beside it would be too long for the file
// system. Throws `failure` (`cannot_create` with the system's cause, or what else is wrong).
void check_replaceable(const std::string& name);

// Whether `name`, its symbolic links followed, is the file open on `fd`: the same device and
// inode, so a hard link to it is that file too.
bool names_open_file(const std::string& name, file_descriptor fd);

// Creates the temporary beside the target, with the target's permissions when it exists
// (never wider meanwhile).
// Throws `failure` `cannot_create`.
staged_file stage_file(const std::string& name);

// Writes at `offset` of the temporary, leaving what lies elsewhere as it is: parts of a file
// whose places are known before they are made can be written by several threads at once.
// Throws `failure` `cannot_write`.
void write_staged_at(staged_file& file, const char* data, std::size_t size, std::uint64_t offset);

// Asks the system to start writing the bytes [offset, offset + size) of the temporary out to
// the disk now, without waiting for it: the file system has less left to do when the file is
// renamed into place. Best effort: a system that cannot is not a failure.
void start_writing_out(const staged_file& file, std::uint64_t offset, std::uint64_t size);

// Closes the temporary; a failure to close is a failure to write.
void close_staged(staged_file& file);

// The system calls of a commit, for tests that make one of them fail.
struct commit_calls {
  int (*link)(const char* from, const char* to);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
};
extern const commit_calls system_commit_calls;

// Whether a commit makes its files last through a power cut: each new file written out to the
// disk before the renames, each directory after them. Scratch output may do without.
enum class durability { synced, unsynced };

// Renames the closed temporaries onto their targets, all or none, with interrupts held back
// meanwhile: each earlier file is kept under a second name (a hard link, or where the file
// system refuses one, a copy) until every rename has been done, and put back when one fails;
// an earlier file stays at its name until its new file is renamed onto it. The renames run on
// up to `threads` threads (each of them with every signal blocked). Throws `failure`
// `cannot_create` for the file that could not be kept or renamed, or `cannot_write` for one
// that could not be written out; its notices say where an earlier file that could then not be
// put back is kept. Returns a notice for each thing that a completed commit left undone: a
// second name that could not be removed, a directory that could not be written out.
std::vector<notice> commit_staged(std::span<staged_file* const> files, int threads = 1,
                                  durability flush = durability::synced,
                                  const commit_calls& calls = system_commit_calls);

}  // namespace vort
