// The program's handler for every terminating signal: it removes the unfinished files (the
// registry of common/interrupts), says in one line on standard error what the signal found,
// and ends the process by the same signal, as a shell expects of an interrupted program.
#pragma once

namespace vort {

// Installs the handler for every terminating signal but those the caller ignores (nohup
// ignores SIGHUP; the program itself ignores SIGXFSZ and SIGPIPE before this, so that a
// write past the file-size limit or into a closed pipe fails with a message instead), after
// `leave_time_for_sigxcpu`. Removed again when the run is over, before the program's exit.
void install_interrupt_handler();
void remove_interrupt_handler();

// Where the CPU-time limit's soft value equals its hard one (`ulimit -t` sets both), lowers
// the soft one by a second: the kernel then sends SIGXCPU, which the handler takes, a second
// before the SIGKILL that nothing can take.
void leave_time_for_sigxcpu();

}  // namespace vort
