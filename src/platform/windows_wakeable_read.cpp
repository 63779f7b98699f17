// A wake signal on Windows is an event. Descriptors number files only, so the wake signal
// keeps the event's slot in a small table of its own. A console's input handle is waited on
// with it; a pipe is looked into in short turns, as Windows cannot wait on one.
#include <windows.h>

#include <atomic>

#include "platform/wakeable_read.hpp"
#include "platform/windows_handles.hpp"

namespace vort {
namespace {

constexpr int event_slots = 64;
std::atomic<HANDLE> events[event_slots];

HANDLE event_of(const wake_signal& wake) {
  if (wake.readable < 0 || wake.readable >= event_slots) return nullptr;
  return events[wake.readable].load();
}

}  // namespace

wake_signal make_wake_signal() {
  const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return {};
  for (int slot = 0; slot < event_slots; ++slot) {
    HANDLE empty = nullptr;
    if (events[slot].compare_exchange_strong(empty, event)) return {slot, slot};
  }
  ::CloseHandle(event);
  return {};
}

void close_wake_signal(wake_signal& wake) {
  if (const HANDLE event = event_of(wake)) {
    events[wake.readable].store(nullptr);
    ::CloseHandle(event);
  }
  wake = {};
}

void send_wake(const wake_signal& wake) {
  if (const HANDLE event = event_of(wake)) ::SetEvent(event);
}

bool wait_readable_or_woken(file_descriptor fd, const wake_signal& wake) {
  const HANDLE event = event_of(wake);
  if (event == nullptr) return false;
  const HANDLE handle = handle_of(fd);
  switch (::GetFileType(handle)) {
    case FILE_TYPE_CHAR: {
      const HANDLE watched[2] = {handle, event};
      return ::WaitForMultipleObjects(2, watched, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
    }
    case FILE_TYPE_PIPE:
      for (;;) {
        DWORD ready = 0;
        // A pipe that fails to be looked into has ended or failed: the read tells which.
        if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &ready, nullptr) || ready > 0) {
          return false;
        }
        if (::WaitForSingleObject(event, 10) == WAIT_OBJECT_0) return true;
      }
    default:
      return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
  }
}

}  // namespace vort
