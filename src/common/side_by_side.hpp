// Two halves of a step run at once: a helper thread that never takes an interrupt, so that
// the interrupt handler always runs on the thread that registers and forgets temporaries.
#pragma once

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "common/interrupts.hpp"

namespace vort {

// Starts a thread in which the interrupts are blocked (it inherits the blocked set).
template <class Body>
std::thread thread_without_interrupts(Body&& body) {
  const interrupts_held held;
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
