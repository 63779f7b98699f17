// What an interrupt (SIGINT, SIGTERM, SIGHUP) does to a run: it removes the temporary files
// that are not complete yet, says so in one line on standard error, and ends the process by
// the same signal, as a shell expects of an interrupted program. Earlier files are never
// touched: they are replaced only by renaming complete files onto them.
#pragma once

#include <signal.h>

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace vort {

// Installs the handlers, but for signals the caller ignores; `program` prefixes the line they
// write ("VORT2Pelta: "). Removed again when the run is over, before the program's exit.
void install_interrupt_cleanup(const char* program);
void remove_interrupt_cleanup();

// Temporaries that an interrupt removes: a path is registered before its file is created
// and forgotten before the path's storage goes. At most `max_temporaries` at once.
inline constexpr int max_temporaries = 16;
void register_temporary(const char* path);
void forget_temporary(const char* path);

// Marks that complete files have been renamed onto their names, for the interrupt's message.
void note_files_in_place();

// Blocks the interrupts on this thread while alive; a signal that arrives meanwhile is
// handled when the block ends. For the short step that renames complete files into place.
struct interrupts_held {
  sigset_t previous;
  interrupts_held();
  ~interrupts_held();
  interrupts_held(const interrupts_held&) = delete;
  interrupts_held& operator=(const interrupts_held&) = delete;
};

// Starts a thread in which the interrupts are blocked, so that their handler always runs on
// the thread that registers and forgets temporaries.
template <class Body>
std::thread thread_without_interrupts(Body&& body) {
  const interrupts_held held;  // the new thread inherits the blocked set
  return std::thread(std::forward<Body>(body));
}

// Runs `here` on this thread and `beside` on a second one (started as above), or after
// `here` when no thread can be had (an address-space limit, say). A failure of either sets
// `failed`, for the other to end early if it looks, and is rethrown once both are over,
// that of `here` first.
template <class Here, class Beside>
void run_side_by_side(Here&& here, Beside&& beside, std::atomic<bool>* failed = nullptr) {
  std::exception_ptr here_failure, beside_failure;
  const auto guarded = [failed](auto& body, std::exception_ptr& failure) {
    try {
      body();
    } catch (...) {
      failure = std::current_exception();
      if (failed != nullptr) *failed = true;
    }
  };
  std::thread helper;
  try {
    helper = thread_without_interrupts([&] { guarded(beside, beside_failure); });
  } catch (const std::system_error&) {
  }
  guarded(here, here_failure);
  if (helper.joinable()) {
    helper.join();
  } else if (!here_failure) {
    guarded(beside, beside_failure);
  }
  if (here_failure) std::rethrow_exception(here_failure);
  if (beside_failure) std::rethrow_exception(beside_failure);
}

}  // namespace vort
