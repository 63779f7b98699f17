#include "app/progress.hpp"

#include <chrono>
#include <system_error>

#include "common/parallel_parts.hpp"

namespace vort {
namespace {

constexpr auto first_draw_after = std::chrono::seconds(1);
constexpr auto redraw_every = std::chrono::milliseconds(200);

}  // namespace

std::string render_progress(work_phase phase, std::uint64_t done, std::uint64_t total,
                            double seconds) {
  const bool reading = phase == work_phase::reading;
  const double percent =
      total == 0 ? 100.0 : 100.0 * static_cast<double>(done) / static_cast<double>(total);
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds / 1e6 : 0.0;
  char line[96];
  std::snprintf(line, sizeof line, "%s %3d%%  %.1f %s", reading ? "reading table" : "writing maps ",
                static_cast<int>(percent > 100 ? 100 : percent), rate,
                reading ? "MB/s" : "M values/s");
  return line;
}

void start_progress(progress_display& display, std::FILE* stream) {
  display.stream = stream;
  try {
    display.drawer = thread_without_interrupts([&display] {
      using clock = std::chrono::steady_clock;
      work_counter& counter = display.counter;
      auto phase_start = clock::now();
      work_phase seen_phase = work_phase::idle;
      std::unique_lock<std::mutex> lock(display.screen);
      while (!display.woken.wait_for(lock, redraw_every, [&display] { return display.quit; })) {
        const work_phase phase = counter.phase.load(std::memory_order_acquire);
        if (phase != seen_phase) {
          seen_phase = phase;
          phase_start = clock::now();
        }
        if (phase == work_phase::idle || clock::now() - phase_start < first_draw_after) continue;
        const double seconds = std::chrono::duration<double>(clock::now() - phase_start).count();
        const std::string text =
            render_progress(phase, counter.done.load(std::memory_order_relaxed),
                            counter.total.load(std::memory_order_relaxed), seconds);
        std::fprintf(display.stream, "%s%s", erase_line, text.c_str());
        std::fflush(display.stream);
        display.shown = true;
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had (an address-space limit, say): the run goes on without the line.
  }
}

void end_progress_phase(progress_display* display) {
  if (display == nullptr) return;
  const std::lock_guard<std::mutex> lock(display->screen);
  display->counter.phase.store(work_phase::idle, std::memory_order_release);
  if (display->shown) {
    std::fputs(erase_line, display->stream);
    std::fflush(display->stream);
    display->shown = false;
  }
}

void stop_progress(progress_display& display) {
  if (!display.drawer.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(display.screen);
    display.quit = true;
  }
  display.woken.notify_one();
  display.drawer.join();
  end_progress_phase(&display);
}

}  // namespace vort
