// Windows has no signals that end a console program: Ctrl-C, Ctrl-Break and the closing of
// the console reach it as console control events, whose handler the system runs on a thread
// of its own while the program's threads go on. So holding an interrupt back is a count of
// the threads inside a hold, which the handler waits to see at zero before it runs; a thread
// that enters a hold once the handler has started waits for the process to end. The events
// take the numbers of the signals they stand for (the C runtime's SIGINT and SIGBREAK; the
// others, which have no signal, numbers of their own) and the names the system gives them, and
// the handler's `raise_signal` ends the process as the event's default would.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/interrupt_guard.hpp"

namespace vort {
namespace {

struct console_event {
  DWORD event;
  int number;
  const char* name;
};

constexpr console_event console_events[] = {
    {CTRL_C_EVENT, 2, "SIGINT"},
    {CTRL_BREAK_EVENT, 21, "SIGBREAK"},
    {CTRL_CLOSE_EVENT, 1, "CTRL_CLOSE_EVENT"},
    {CTRL_LOGOFF_EVENT, 15, "CTRL_LOGOFF_EVENT"},
    {CTRL_SHUTDOWN_EVENT, 23, "CTRL_SHUTDOWN_EVENT"},
};

std::atomic<int> threads_holding{0};
std::atomic<bool> interrupting{false};
std::atomic<bool> handler_running{false};
thread_local int own_holds = 0;
std::atomic<signal_handler> installed_handler{nullptr};

void enter_hold() {
  if (own_holds++ > 0) return;
  threads_holding.fetch_add(1);
  if (!interrupting.load()) return;
  // The handler has begun: this thread waits for the end it brings.
  threads_holding.fetch_sub(1);
  ::Sleep(INFINITE);
}

void leave_hold() {
  if (--own_holds > 0) return;
  threads_holding.fetch_sub(1);
}

BOOL WINAPI on_console_event(DWORD event) {
  int number = 0;
  for (const console_event& known : console_events) {
    if (known.event == event) number = known.number;
  }
  const signal_handler handler = installed_handler.load();
  if (number == 0 || handler == nullptr) return FALSE;
  // One handler at a time: a second event waits until the first has ended the process.
  if (handler_running.exchange(true)) ::Sleep(INFINITE);
  interrupting.store(true);
  while (threads_holding.load() > 0) ::Sleep(1);
  handler(number);
  return TRUE;
}

}  // namespace

int terminating_signal_numbers(int* numbers, int room) {
  constexpr int distinct[] = {1, 2, 15, 21, 23};
  int count = 0;
  for (const int number : distinct) {
    if (count < room) numbers[count] = number;
    ++count;
  }
  return count;
}

void name_signal(int signal_number, char* name, int room) {
  const auto size = static_cast<std::size_t>(room);
  for (const console_event& known : console_events) {
    if (known.number == signal_number) {
      std::snprintf(name, size, "%s", known.name);
      return;
    }
  }
  std::snprintf(name, size, "signal %d", signal_number);
}

interrupts_held::interrupts_held() : previous{} {
  enter_hold();
}

interrupts_held::~interrupts_held() {
  leave_hold();
}

// The handler runs on a thread of the system's: no thread of the program's ever runs it.
all_signals_blocked::all_signals_blocked() : previous{} {}

all_signals_blocked::~all_signals_blocked() = default;

int install_signal_handlers(signal_handler handler) {
  installed_handler.store(handler);
  return ::SetConsoleCtrlHandler(on_console_event, TRUE) ? 5 : 0;
}

void restore_signal_handlers() {
  ::SetConsoleCtrlHandler(on_console_event, FALSE);
  installed_handler.store(nullptr);
}

// A write past a limit or into a closed pipe fails on Windows without a signal.
void ignore_write_signals() {}

// Ends the process at once, as the console event's default does, running nothing more of
// the program's: its other threads may be in the middle of anything.
void raise_signal(int) {
  ::TerminateProcess(::GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
}

void write_to_standard_error(const char* data, std::uint64_t size) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), data, static_cast<DWORD>(size), &written, nullptr);
}

// A CPU-time limit on Windows (a job's) ends the process without warning.
void leave_time_for_cpu_limit_signal() {}

}  // namespace vort
