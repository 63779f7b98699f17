#include "common/interrupts.hpp"

#include <unistd.h>

#include <atomic>

namespace vort {
namespace {

// Slots read by a signal handler: plain atomics in a static array, which outlives everything
// the program destroys at its exit.
std::atomic<const char*> temporaries[max_temporaries];
std::atomic<const char*> lock_file{nullptr};
std::atomic<bool> files_in_place{false};

constexpr int ending_signals[] = {
    SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGALRM,   SIGUSR1, SIGUSR2,
    SIGXCPU,   SIGXFSZ, SIGPIPE, SIGPROF, SIGVTALRM, SIGIO,   SIGPWR,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

}  // namespace

sigset_t terminating_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : ending_signals) sigaddset(&set, signal_number);
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    sigaddset(&set, signal_number);
  }
  return set;
}

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
  if (const char* path = lock_file.load()) ::unlink(path);
  bool removed = false;
  for (std::atomic<const char*>& slot : temporaries) {
    if (const char* path = slot.load()) {
      ::unlink(path);
      removed = true;
    }
  }
  if (removed) return interrupted_run::unfinished_removed;
  return files_in_place.load() ? interrupted_run::files_already_there
                               : interrupted_run::nothing_written;
}

interrupts_held::interrupts_held() {
  const sigset_t set = terminating_signals();
  pthread_sigmask(SIG_BLOCK, &set, &previous);
}

interrupts_held::~interrupts_held() {
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace vort
