// A self-erasing progress line on a terminal: the phase, the percentage and the rate. It is
// drawn by a thread of its own from the counts that the reading and writing steps keep, and
// only once a run has taken more than a second, so short runs show nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "input/work_counter.hpp"

namespace vort {

// "reading table  45%  312.4 MB/s" or "writing maps  12%  35.2 M values/s".
std::string render_progress(work_phase phase, std::uint64_t done, std::uint64_t total,
                            double seconds);

struct progress_display {
  work_counter counter;
  std::FILE* stream = nullptr;
  std::atomic<bool> quit{false};
  std::thread drawer;
};

void start_progress(progress_display& display, std::FILE* stream);

// Stops drawing and erases the line, so that what follows starts on a clean line.
void stop_progress(progress_display& display);

}  // namespace vort
