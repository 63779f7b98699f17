#include "common/interrupts.hpp"

#include <atomic>

#include "platform/staging.hpp"

namespace vort {
namespace {

// Slots read by a signal handler: plain atomics in a static array, which outlives everything
// the program destroys at its exit.
std::atomic<const char*> temporaries[max_temporaries];
std::atomic<const char*> lock_file{nullptr};
std::atomic<bool> files_in_place{false};

}  // namespace

bool register_temporary(const char* path) {
  for (std::atomic<const char*>& slot : temporaries) {
    const char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, path)) return true;
  }
  return false;
}

void forget_temporary(const char* path) {
  for (std::atomic<const char*>& slot : temporaries) {
    const char* registered = path;
    if (slot.compare_exchange_strong(registered, nullptr)) return;
  }
}

void register_lock_file(const char* path) {
  lock_file.store(path);
}

void forget_lock_file() {
  lock_file.store(nullptr);
}

void note_files_in_place() {
  files_in_place.store(true);
}

interrupted_run remove_unfinished_files() {
  if (const char* path = lock_file.load()) remove_file(path);
  bool removed = false;
  for (std::atomic<const char*>& slot : temporaries) {
    if (const char* path = slot.load()) {
      remove_file(path);
      removed = true;
    }
  }
  if (removed) return interrupted_run::unfinished_removed;
  return files_in_place.load() ? interrupted_run::files_already_there
                               : interrupted_run::nothing_written;
}

}  // namespace vort
