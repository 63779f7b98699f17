// A self-erasing progress line on a terminal: the phase, the percentage and the rate. It is
// drawn by a thread of its own from the counts that the reading and writing steps keep, and
// only once a phase has taken more than a second, so short runs show nothing.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "common/work_counter.hpp"

namespace vort {

// Takes the cursor back to the start of the line and clears it.
inline constexpr const char* erase_line = "\r\x1b[2K";

// "reading table  45%  312.4 MB/s" or "writing maps  12%  35.2 M values/s".
std::string render_progress(work_phase phase, std::uint64_t done, std::uint64_t total,
                            double seconds);

struct progress_display {
  work_counter counter;
  std::mutex screen;            // held while a line is drawn or erased, and for `quit`
  std::FILE* stream = nullptr;  // where the line is drawn
  bool shown = false;           // a line stands on the screen now
  bool quit = false;
  std::condition_variable woken;  // ends the drawer's wait at once when `quit` is set
  std::thread drawer;
};

void start_progress(progress_display& display, std::FILE* stream);

// Ends the counter's phase and erases its line, if one is shown, so that the next console
// line starts on a clean line. Does nothing for a null display.
void end_progress_phase(progress_display* display);

// Stops drawing and erases the line.
void stop_progress(progress_display& display);

}  // namespace vort
