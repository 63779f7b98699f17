// A self-erasing progress line on a terminal: the phase, the percentage and the rate. It is
// drawn by a thread of its own from the counts that the reading and writing steps keep, and
// only once a phase has taken more than a second, so short runs show nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "common/work_counter.hpp"
#include "platform/descriptor.hpp"

namespace vort {

// Takes the cursor back to the start of the line and clears it.
inline constexpr const char* erase_line = "\r\x1b[2K";

// The same on a terminal that takes no escapes (a Windows console without virtual-terminal
// mode): blanks over the longest progress line, and back to its start.
inline constexpr const char* blank_line = "\r                                                \r";

// The one of the two that the terminal on `fd` understands.
const char* line_eraser_for(file_descriptor fd);

// "reading table  45%  312.4 MB/s" or "writing maps  12%  35.2 M values/s".
std::string render_progress(work_phase phase, std::uint64_t done, std::uint64_t total,
                            double seconds);

// What the drawer remembers between two wakes: the phase it saw last and since when.
struct progress_clock {
  work_phase seen_phase = work_phase::idle;
  std::chrono::steady_clock::time_point phase_start;
};

// The line for a wake at `now`: "" while no phase runs or the phase is younger than a second.
std::string progress_line_at(progress_clock& clock, const work_counter& counter,
                             std::chrono::steady_clock::time_point now);

struct progress_display {
  work_counter counter;
  std::chrono::steady_clock::duration pause = std::chrono::milliseconds(200);  // between wakes
  std::mutex screen;                // held while a line is drawn or erased, and for `quit`
  std::FILE* stream = nullptr;      // where the line is drawn
  const char* eraser = erase_line;  // what clears it
  bool shown = false;               // a line stands on the screen now
  bool quit = false;
  std::condition_variable woken;  // ends the drawer's wait at once when `quit` is set
  std::thread drawer;
};

// Draws on `stream`, clearing a line with `eraser` (`line_eraser_for` the stream's terminal).
void start_progress(progress_display& display, std::FILE* stream, const char* eraser = erase_line);

// Draws `text` over the line that stands there. The caller holds `screen`, or is the only
// thread.
void draw_progress_line(progress_display& display, const std::string& text);

// Ends the counter's phase and erases its line, if one is shown, so that the next console
// line starts on a clean line. Does nothing for a null display.
void end_progress_phase(progress_display* display);

// Stops drawing and erases the line.
void stop_progress(progress_display& display);

}  // namespace vort
