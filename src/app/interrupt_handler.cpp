#include "app/interrupt_handler.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/console.hpp"
#include "app/progress.hpp"
#include "common/interrupts.hpp"

namespace vort {
namespace {

struct named_signal {
  int number;
  const char* name;
};

constexpr named_signal standard_names[] = {
    {SIGINT, "SIGINT"},       {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},   {SIGQUIT, "SIGQUIT"},
    {SIGALRM, "SIGALRM"},     {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGXCPU, "SIGXCPU"},
    {SIGXFSZ, "SIGXFSZ"},     {SIGPIPE, "SIGPIPE"}, {SIGPROF, "SIGPROF"}, {SIGVTALRM, "SIGVTALRM"},
    {SIGIO, "SIGIO"},         {SIGPWR, "SIGPWR"},
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT"},
#endif
};

// Filled when the handler is installed, read by the handler: a handler may not allocate,
// and static arrays outlive everything the program destroys at its exit.
constexpr std::size_t name_room = 32;  // "SIGRTMIN+" and any int
char names[NSIG][name_room];
// On a terminal the line starts on a cleared line: a progress line may stand there.
bool on_terminal = false;
struct sigaction previous_actions[NSIG];
bool installed[NSIG];

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
    ::raise(signal_number);
    return;
  }
  const interrupted_run run = remove_unfinished_files();
  char line[160];
  std::size_t used = append(line, sizeof line, 0, on_terminal ? erase_line : "");
  used = append(line, sizeof line, used, program_prefix.data());  // a literal: terminated
  used = append(line, sizeof line, used, "interrupted by ");
  used = append(line, sizeof line, used, names[signal_number]);
  used = append(line, sizeof line, used, consequence(run));
  if (::write(STDERR_FILENO, line, used) < 0) {
    // Nothing more can be said.
  }
  errno = saved_errno;
  // The handler was reset to the default when it was entered (SA_RESETHAND): the signal,
  // raised again, ends the process as soon as the handler returns and unblocks it.
  ::raise(signal_number);
}

// "SIGINT", "SIGRTMIN+3": the name a message gives a signal.
const char* signal_name(int signal_number) {
  for (const named_signal& known : standard_names) {
    if (known.number == signal_number) return known.name;
  }
  static char other[name_room];
  if (signal_number >= SIGRTMIN && signal_number <= SIGRTMAX) {
    if (signal_number == SIGRTMIN) return "SIGRTMIN";
    std::snprintf(other, sizeof other, "SIGRTMIN+%d", signal_number - SIGRTMIN);
  } else {
    std::snprintf(other, sizeof other, "signal %d", signal_number);
  }
  return other;
}

}  // namespace

void leave_time_for_sigxcpu() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_CPU, &limit) != 0 || limit.rlim_cur != limit.rlim_max) return;
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max < 2) return;
  limit.rlim_cur = limit.rlim_max - 1;
  ::setrlimit(RLIMIT_CPU, &limit);
}

void install_interrupt_handler() {
  leave_time_for_sigxcpu();
  on_terminal = ::isatty(STDERR_FILENO) == 1;
  const sigset_t caught = terminating_signals();
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (sigismember(&caught, signal_number) != 1) continue;
    std::snprintf(names[signal_number], name_room, "%s", signal_name(signal_number));
    // A signal that the caller ignores stays ignored.
    sigaction(signal_number, nullptr, &previous_actions[signal_number]);
    if (previous_actions[signal_number].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = on_terminating_signal;
    action.sa_flags = SA_RESETHAND;
    // A second signal waits until the first has ended the process: one line, one cleanup.
    action.sa_mask = caught;
    installed[signal_number] = sigaction(signal_number, &action, nullptr) == 0;
  }
}

void remove_interrupt_handler() {
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (installed[signal_number]) {
      sigaction(signal_number, &previous_actions[signal_number], nullptr);
    }
    installed[signal_number] = false;
  }
}

}  // namespace vort
