#include "common/interrupts.hpp"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace vort {
namespace {

constexpr int caught[] = {SIGINT, SIGTERM, SIGHUP};
constexpr const char* caught_names[] = {"SIGINT", "SIGTERM", "SIGHUP"};
constexpr int caught_count = 3;

std::atomic<const char*> temporaries[max_temporaries];
std::atomic<bool> files_in_place{false};

// The handler's lines, made when the handlers are installed: a handler may not allocate,
// and static arrays outlive everything the program destroys at its exit. For each signal:
// with temporaries removed, before any file was written, after.
constexpr std::size_t message_room = 256;
char messages[caught_count][3][message_room];
struct sigaction previous_actions[caught_count];
bool installed[caught_count];

void set_message(char* line, const std::string& text) {
  std::snprintf(line, message_room, "%s\n", text.c_str());
}

sigset_t caught_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : caught) sigaddset(&set, signal_number);
  return set;
}

extern "C" void on_interrupt(int signal_number) {
  const int saved_errno = errno;
  bool removed = false;
  for (std::atomic<const char*>& slot : temporaries) {
    if (const char* path = slot.load()) {
      ::unlink(path);
      removed = true;
    }
  }
  int which = 0;
  while (which < caught_count - 1 && caught[which] != signal_number) ++which;
  const char* line = messages[which][removed ? 0 : files_in_place.load() ? 2 : 1];
  if (::write(STDERR_FILENO, line, std::strlen(line)) < 0) {
    // Nothing more can be said.
  }
  errno = saved_errno;
  // The handler was reset to the default when it was entered (SA_RESETHAND): the signal,
  // raised again, ends the process as soon as the handler returns.
  ::raise(signal_number);
}

}  // namespace

void install_interrupt_cleanup(const char* program) {
  for (int i = 0; i < caught_count; ++i) {
    const std::string head = std::string(program) + "interrupted by " + caught_names[i];
    set_message(messages[i][0],
                head + "; the unfinished maps were removed, earlier files left as they were");
    set_message(messages[i][1], head + "; no file was written");
    set_message(messages[i][2], head);
    // A signal that the caller ignores (nohup ignores SIGHUP) stays ignored.
    sigaction(caught[i], nullptr, &previous_actions[i]);
    if (previous_actions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    installed[i] = sigaction(caught[i], &action, nullptr) == 0;
  }
}

void remove_interrupt_cleanup() {
  for (int i = 0; i < caught_count; ++i) {
    if (installed[i]) sigaction(caught[i], &previous_actions[i], nullptr);
    installed[i] = false;
  }
}

void register_temporary(const char* path) {
  for (std::atomic<const char*>& slot : temporaries) {
    const char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, path)) return;
  }
}

void forget_temporary(const char* path) {
  for (std::atomic<const char*>& slot : temporaries) {
    const char* registered = path;
    if (slot.compare_exchange_strong(registered, nullptr)) return;
  }
}

void note_files_in_place() {
  files_in_place.store(true);
}

interrupts_held::interrupts_held() {
  const sigset_t set = caught_set();
  pthread_sigmask(SIG_BLOCK, &set, &previous);
}

interrupts_held::~interrupts_held() {
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace vort
