// How far a long step has got, for a progress display that runs beside it: the step stores
// plain counts, which the display reads from another thread. Drawing is the display's affair.
#pragma once

#include <atomic>
#include <cstdint>

namespace vort {

enum class work_phase { idle, reading, writing };

struct work_counter {
  std::atomic<work_phase> phase{work_phase::idle};
  std::atomic<std::uint64_t> done{0};  // bytes of the table read, or body values written
  std::atomic<std::uint64_t> total{0};
};

inline void start_phase(work_counter* counter, work_phase phase, std::uint64_t total) {
  if (counter == nullptr) return;
  counter->done.store(0, std::memory_order_relaxed);
  counter->total.store(total, std::memory_order_relaxed);
  counter->phase.store(phase, std::memory_order_release);
}

inline void add_done(work_counter* counter, std::uint64_t amount) {
  if (counter != nullptr) counter->done.fetch_add(amount, std::memory_order_relaxed);
}

}  // namespace vort
