// How far a long step has got, for a progress display that runs beside it. The step stores
// plain counts, which a display thread reads; the screen state is shared under a lock, so
// that ending a phase erases a shown line before the program writes anything else.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

namespace vort {

enum class work_phase { idle, reading, writing };

inline constexpr const char* erase_line = "\r\x1b[2K";

struct work_counter {
  std::atomic<work_phase> phase{work_phase::idle};
  std::atomic<std::uint64_t> done{0};  // bytes of the table read, or body values written
  std::atomic<std::uint64_t> total{0};
  std::mutex screen;            // held while a line is drawn or erased
  std::FILE* stream = nullptr;  // where the display draws
  bool shown = false;           // a line stands on the screen now
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

// Ends the phase and erases its line, if one is shown.
inline void end_phase(work_counter* counter) {
  if (counter == nullptr) return;
  const std::lock_guard<std::mutex> lock(counter->screen);
  counter->phase.store(work_phase::idle, std::memory_order_release);
  if (counter->shown) {
    std::fputs(erase_line, counter->stream);
    std::fflush(counter->stream);
    counter->shown = false;
  }
}

}  // namespace vort
