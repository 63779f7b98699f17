#include "app/interrupt_handler.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "app/console.hpp"
#include "app/progress.hpp"
#include "common/interrupts.hpp"
#include "platform/interrupt_guard.hpp"
#include "platform/terminal.hpp"

namespace vort {
namespace {

// Filled when the handler is installed, read by the handler: a handler may not allocate,
// and static arrays outlive everything the program destroys at its exit.
constexpr std::size_t name_room = 32;  // "SIGRTMIN+" and any int
char names[most_signals][name_room];
// On a terminal the line starts on a cleared line: a progress line may stand there.
const char* line_start = "";

const char* consequence(interrupted_run run) {
  switch (run) {
    case interrupted_run::unfinished_removed:
      return "; the unfinished maps were removed, earlier files left as they were\n";
    case interrupted_run::files_already_there:
      return "; the new maps were already complete\n";
    case interrupted_run::nothing_written:
      break;
  }
  return "; no file was written\n";
}

// Appends `text` to the line at `used`, as far as the line has room.
std::size_t append(char* line, std::size_t room, std::size_t used, const char* text) {
  const std::size_t length = std::strlen(text);
  const std::size_t copied = length < room - used ? length : room - used;
  std::memcpy(line + used, text, copied);
  return used + copied;
}

std::atomic<bool> handled{false};

extern "C" void on_terminating_signal(int signal_number) {
  const int saved_errno = errno;
  // A second signal that was held back during the first one's handler ends the process
  // without a second line.
  if (handled.exchange(true)) {
    raise_signal(signal_number);
    return;
  }
  const interrupted_run run = remove_unfinished_files();
  char line[160];
  std::size_t used = append(line, sizeof line, 0, line_start);
  used = append(line, sizeof line, used, program_prefix.data());  // a literal: terminated
  used = append(line, sizeof line, used, "interrupted by ");
  used = append(line, sizeof line, used, names[signal_number]);
  used = append(line, sizeof line, used, consequence(run));
  write_to_standard_error(line, used);
  errno = saved_errno;
  // The handler was reset to the default when it was entered (SA_RESETHAND): the signal,
  // raised again, ends the process as soon as the handler returns and unblocks it.
  raise_signal(signal_number);
}

}  // namespace

void leave_time_for_sigxcpu() {
  leave_time_for_cpu_limit_signal();
}

void install_interrupt_handler() {
  leave_time_for_sigxcpu();
  if (is_terminal(standard_error)) line_start = line_eraser_for(standard_error);
  int numbers[most_signals];
  const int count = terminating_signal_numbers(numbers, most_signals);
  for (int n = 0; n < count && n < most_signals; ++n) {
    name_signal(numbers[n], names[numbers[n]], static_cast<int>(name_room));
  }
  // A second signal waits until the first has ended the process: one line, one cleanup.
  install_signal_handlers(on_terminating_signal);
}

void remove_interrupt_handler() {
  restore_signal_handlers();
}

}  // namespace vort
