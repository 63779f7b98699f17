// What a terminating signal must undo: the registry of temporary files that are not
// complete yet, and whether complete files are already in place. The program's handler
// (which says what happened, in its own words) calls `remove_unfinished_files` and then ends
// the process by the same signal. Earlier files are never touched by the handler: they are
// replaced only by renaming complete files onto them, with every such signal held back until
// the whole set is in place or put back.
#pragma once

#include "platform/interrupt_guard.hpp"

namespace vort {

// Temporaries that an interrupt removes: a path is registered before its file is created
// and forgotten before the path's storage goes. At most `max_temporaries` at once: a
// registration beyond them is refused (false), never dropped.
inline constexpr int max_temporaries = 16;
[[nodiscard]] bool register_temporary(const char* path);
void forget_temporary(const char* path);

// The lock file of the run's maps (at most one), which an interrupt removes as well; it holds
// no map, so it does not count as an unfinished one.
void register_lock_file(const char* path);
void forget_lock_file();

// Marks that complete files have been renamed onto their names.
void note_files_in_place();

// What a run had done when it was interrupted.
enum class interrupted_run {
  nothing_written,      // no temporary existed, no file was in place
  unfinished_removed,   // temporaries were removed; earlier files are as they were
  files_already_there,  // the new files were in place
};

// Removes every registered temporary and the lock file. Async-signal-safe: for a signal
// handler.
interrupted_run remove_unfinished_files();

}  // namespace vort
