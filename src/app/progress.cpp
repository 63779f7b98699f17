#include "app/progress.hpp"

#include <chrono>
#include <system_error>

#include "common/parallel_parts.hpp"
#include "platform/terminal.hpp"

namespace vort {
namespace {

constexpr auto first_draw_after = std::chrono::seconds(1);

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

std::string progress_line_at(progress_clock& clock, const work_counter& counter,
                             std::chrono::steady_clock::time_point now) {
  const work_phase phase = counter.phase.load(std::memory_order_acquire);
  if (phase != clock.seen_phase) {
    clock.seen_phase = phase;
    clock.phase_start = now;
  }
  if (phase == work_phase::idle || now - clock.phase_start < first_draw_after) return "";
  const double seconds = std::chrono::duration<double>(now - clock.phase_start).count();
  return render_progress(phase, counter.done.load(std::memory_order_relaxed),
                         counter.total.load(std::memory_order_relaxed), seconds);
}

void draw_progress_line(progress_display& display, const std::string& text) {
  std::fprintf(display.stream, "%s%s", display.eraser, text.c_str());
  std::fflush(display.stream);
  display.shown = true;
}

const char* line_eraser_for(file_descriptor fd) {
  return terminal_takes_escapes(fd) ? erase_line : blank_line;
}

void start_progress(progress_display& display, std::FILE* stream, const char* eraser) {
  display.stream = stream;
  display.eraser = eraser;
  try {
    display.drawer = thread_without_interrupts([&display] {
      progress_clock clock;
      std::unique_lock<std::mutex> lock(display.screen);
      while (!display.woken.wait_for(lock, display.pause, [&display] { return display.quit; })) {
        const std::string text =
            progress_line_at(clock, display.counter, std::chrono::steady_clock::now());
        if (!text.empty()) draw_progress_line(display, text);
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
    std::fputs(display->eraser, display->stream);
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
