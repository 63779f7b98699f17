// Reading and writing at a given place of a file, the descriptor's own offset left alone:
// a file shared with a reader, or written in parts by several threads at once, gets every
// byte where it belongs. And reading a stream in order, never failing for a descriptor that
// its opener left non-blocking.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/descriptor.hpp"

namespace vort {

// Writes the `size` bytes at `data` to `offset` of the file; returns 0, or the errno of the
// write that failed. A write that takes nothing counts as ENOSPC, so a full device cannot
// keep the loop turning.
int write_all_at(file_descriptor fd, const char* data, std::size_t size, std::uint64_t offset);

// Reads up to `size` bytes from `offset`: the count read (0 at the end of the file), or -1
// with errno (EINTR included: the caller decides whether to read again).
std::int64_t read_at(file_descriptor fd, void* data, std::size_t size, std::uint64_t offset);

// Reads up to `size` bytes at the descriptor's offset, as read(2): the count, 0 at the end,
// or -1 with errno (EINTR included).
std::int64_t read_next(file_descriptor fd, void* data, std::size_t size);

// As `read_next`, but never fails with EINTR or EAGAIN: where a non-blocking descriptor has
// nothing to read yet, it waits for it instead of failing.
std::int64_t read_waiting(file_descriptor fd, void* data, std::size_t size);

// Moves the descriptor's offset to the start of the file: 0, or -1 with errno.
int rewind_descriptor(file_descriptor fd);

}  // namespace vort
