// Work split into parts that run at once: part 0 on the calling thread, the others on threads
// of their own, started with the interrupts blocked so that the interrupt handler always runs
// on the thread that registers and forgets temporaries. Where a thread cannot be had (an
// address-space limit, say), its part runs on the calling thread after the others, so every
// part runs whatever the machine gives.
#pragma once

#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/interrupt_guard.hpp"

namespace vort {

// A thread started with every signal blocked (it inherits the blocked set); this thread's own
// mask is as it was once it has started. Throws std::system_error when none can be had.
template <class Body>
std::thread thread_without_interrupts(Body&& body) {
  const all_signals_blocked blocked;
  return std::thread(std::forward<Body>(body));
}

// How many threads the machine can run at once (1 when it cannot tell).
inline int hardware_threads() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int>(count);
}

// The most threads a run uses, whatever the machine has: each brings buffers of its own, and
// beyond this the parts of a table or a map grow too small to pay for them.
inline constexpr int max_threads = 64;

// The threads a run uses unless told otherwise: the machine's, at most `max_threads`.
inline int default_threads() {
  return hardware_threads() < max_threads ? hardware_threads() : max_threads;
}

// Runs `part(0)` .. `part(count - 1)` at once and waits for all. A part's failure does not
// stop the others (a part that should end early looks at a flag of its own); once all are
// over, the failure of the lowest part that failed is rethrown.
template <class Part>
void run_parts(int count, Part&& part) {
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(count));
  const auto guarded = [&](int n) {
    try {
      part(n);
    } catch (...) {
      failures[static_cast<std::size_t>(n)] = std::current_exception();
    }
  };
  // Room first: a push that failed for memory after its thread had started would leave that
  // thread unjoined, which ends the process.
  std::vector<std::thread> helpers;
  std::vector<int> left_over;
  helpers.reserve(static_cast<std::size_t>(count));
  left_over.reserve(static_cast<std::size_t>(count));
  for (int n = 1; n < count; ++n) {
    try {
      helpers.push_back(thread_without_interrupts([&guarded, n] { guarded(n); }));
    } catch (const std::system_error&) {
      left_over.push_back(n);
    }
  }
  if (count > 0) guarded(0);
  for (const int n : left_over) guarded(n);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace vort
