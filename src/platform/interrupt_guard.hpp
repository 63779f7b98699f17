// The signals that end the process, and holding them back: what the program's interrupt
// handler is built on. A held signal is not lost; it is handled when the hold ends.
#pragma once

#include <cstdint>

namespace vort {

// The signals whose default action ends the process and that a handler can catch: SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGPIPE, SIGVTALRM,
// SIGPROF, SIGIO, SIGPWR, SIGSTKFLT and the real-time signals, where the system has them.
// `terminating_signal_numbers` writes them to `numbers` (room for `room`) and returns how many
// there are.
int terminating_signal_numbers(int* numbers, int room);
inline constexpr int most_signals = 128;

// "SIGINT", "SIGRTMIN+3", "signal 40": the name a message gives a signal, written to `name`
// (room for `room`, terminated).
void name_signal(int signal_number, char* name, int room);

// The saved signal mask of a thread, as the system keeps it (large enough for any).
struct saved_signal_mask {
  alignas(8) unsigned char bytes[128];
};

// Blocks every terminating signal on this thread while alive; a signal that arrives meanwhile
// is handled when the block ends.
struct interrupts_held {
  saved_signal_mask previous;
  interrupts_held();
  ~interrupts_held();
  interrupts_held(const interrupts_held&) = delete;
  interrupts_held& operator=(const interrupts_held&) = delete;
};

// Blocks every signal on this thread while alive: a thread started meanwhile inherits the
// block, so that only the thread that made this one ever runs a handler.
struct all_signals_blocked {
  saved_signal_mask previous;
  all_signals_blocked();
  ~all_signals_blocked();
  all_signals_blocked(const all_signals_blocked&) = delete;
  all_signals_blocked& operator=(const all_signals_blocked&) = delete;
};

// Installs `handler` for every terminating signal that is not ignored now, reset to the default
// when it runs, with every terminating signal held while it runs (a second waits until the
// first has ended the process). Returns how many were installed. `restore_signal_handlers`
// puts back what was there before.
using signal_handler = void (*)(int);
int install_signal_handlers(signal_handler handler);
void restore_signal_handlers();

// Signals sent when a write goes past the file-size limit or into a pipe without a reader are
// ignored from now on: such a write fails and says so instead. (Before the handlers are
// installed, so that they stay ignored.)
void ignore_write_signals();

// Sends the signal to this thread again. Async-signal-safe.
void raise_signal(int signal_number);

// Writes the bytes to standard error, as far as it takes them. Async-signal-safe.
void write_to_standard_error(const char* data, std::uint64_t size);

// Where a soft CPU-time limit equals the hard one, lowers the soft one by a second: the
// system then sends SIGXCPU, which a handler can take, a second before the kill that nothing
// can take.
void leave_time_for_cpu_limit_signal();

}  // namespace vort
