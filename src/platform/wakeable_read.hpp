// Waiting to read a descriptor that may stay silent (a pipe whose writer never writes), in a
// way that another thread can end: the waiter also watches a wake signal.
#pragma once

#include "platform/descriptor.hpp"

namespace vort {

// Where the waiter watches (`readable`) and where another thread writes to wake it
// (`writable`); one descriptor where the system has a counter for it, a pipe's two ends
// elsewhere. Both -1 when none could be made: the waiter then cannot be woken.
struct wake_signal {
  file_descriptor readable = no_descriptor;
  file_descriptor writable = no_descriptor;
};

wake_signal make_wake_signal();
void close_wake_signal(wake_signal& wake);

// Wakes whoever waits on `wake`, now or later. Async-signal-safe, and never blocks.
void send_wake(const wake_signal& wake);

// Waits until `fd` can be read or `wake` is sent. True when woken; false when `fd` may be read
// (or the wait failed, which the read then tells).
bool wait_readable_or_woken(file_descriptor fd, const wake_signal& wake);

}  // namespace vort
