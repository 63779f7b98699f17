#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/interrupt_guard.hpp"

namespace vort {
namespace {

static_assert(sizeof(sigset_t) <= sizeof(saved_signal_mask::bytes));
static_assert(NSIG <= most_signals);

struct named_signal {
  int number;
  const char* name;
};

constexpr named_signal ending_signals[] = {
    {SIGINT, "SIGINT"},       {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"},   {SIGQUIT, "SIGQUIT"},
    {SIGALRM, "SIGALRM"},     {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGXCPU, "SIGXCPU"},
    {SIGXFSZ, "SIGXFSZ"},     {SIGPIPE, "SIGPIPE"}, {SIGPROF, "SIGPROF"}, {SIGVTALRM, "SIGVTALRM"},
    {SIGIO, "SIGIO"},
#ifdef SIGPWR
    {SIGPWR, "SIGPWR"},
#endif
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT"},
#endif
};

sigset_t terminating_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const named_signal& signal : ending_signals) sigaddset(&set, signal.number);
#ifdef SIGRTMIN
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    sigaddset(&set, signal_number);
  }
#endif
  return set;
}

void block(const sigset_t& set, saved_signal_mask& previous) {
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &set, &saved);
  std::memcpy(previous.bytes, &saved, sizeof saved);
}

void restore(const saved_signal_mask& previous) {
  sigset_t saved;
  std::memcpy(&saved, previous.bytes, sizeof saved);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

struct sigaction previous_actions[NSIG];
bool installed[NSIG];

}  // namespace

int terminating_signal_numbers(int* numbers, int room) {
  const sigset_t set = terminating_signals();
  int count = 0;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (sigismember(&set, signal_number) != 1) continue;
    if (count < room) numbers[count] = signal_number;
    ++count;
  }
  return count;
}

void name_signal(int signal_number, char* name, int room) {
  const auto size = static_cast<std::size_t>(room);
  for (const named_signal& known : ending_signals) {
    if (known.number == signal_number) {
      std::snprintf(name, size, "%s", known.name);
      return;
    }
  }
#ifdef SIGRTMIN
  if (signal_number >= SIGRTMIN && signal_number <= SIGRTMAX) {
    if (signal_number == SIGRTMIN) {
      std::snprintf(name, size, "SIGRTMIN");
    } else {
      std::snprintf(name, size, "SIGRTMIN+%d", signal_number - SIGRTMIN);
    }
    return;
  }
#endif
  std::snprintf(name, size, "signal %d", signal_number);
}

interrupts_held::interrupts_held() {
  block(terminating_signals(), previous);
}

interrupts_held::~interrupts_held() {
  restore(previous);
}

all_signals_blocked::all_signals_blocked() {
  sigset_t all;
  sigfillset(&all);
  block(all, previous);
}

all_signals_blocked::~all_signals_blocked() {
  restore(previous);
}

int install_signal_handlers(signal_handler handler) {
  const sigset_t caught = terminating_signals();
  int count = 0;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (sigismember(&caught, signal_number) != 1) continue;
    // A signal that the caller ignores stays ignored.
    sigaction(signal_number, nullptr, &previous_actions[signal_number]);
    if (previous_actions[signal_number].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESETHAND;
    action.sa_mask = caught;
    installed[signal_number] = sigaction(signal_number, &action, nullptr) == 0;
    if (installed[signal_number]) ++count;
  }
  return count;
}

void restore_signal_handlers() {
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (installed[signal_number]) {
      sigaction(signal_number, &previous_actions[signal_number], nullptr);
    }
    installed[signal_number] = false;
  }
}

void ignore_write_signals() {
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);
}

void raise_signal(int signal_number) {
  ::raise(signal_number);
}

void write_to_standard_error(const char* data, std::uint64_t size) {
  if (::write(STDERR_FILENO, data, size) < 0) {
    // Nothing more can be said.
  }
}

void leave_time_for_cpu_limit_signal() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_CPU, &limit) != 0 || limit.rlim_cur != limit.rlim_max) return;
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max < 2) return;
  limit.rlim_cur = limit.rlim_max - 1;
  ::setrlimit(RLIMIT_CPU, &limit);
}

}  // namespace vort
