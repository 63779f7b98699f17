// ReadFile and WriteFile take the place to read or write in an OVERLAPPED, but on a handle
// opened for synchronous use they move its file pointer too, which the descriptor's
// sequential reads and writes go by. Each positional call puts the pointer back where it
// was, while no other positional call on the same handle runs: the system runs calls on one
// synchronous handle one at a time anyway.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/positional_io.hpp"
#include "platform/windows_handles.hpp"

namespace vort {
namespace {

constexpr std::size_t lock_count = 64;
std::mutex handle_locks[lock_count];

// Handles are multiples of four.
std::mutex& lock_for(HANDLE handle) {
  return handle_locks[(reinterpret_cast<std::uintptr_t>(handle) >> 2) % lock_count];
}

// One call moves at most this much: the counts are 32 bits wide.
constexpr std::size_t most_per_call = std::size_t{1} << 30;

OVERLAPPED at_offset(std::uint64_t offset) {
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(offset);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

// Runs `transfer` with the handle's file pointer kept where it was.
template <typename Transfer>
BOOL keeping_file_pointer(HANDLE handle, Transfer transfer) {
  const std::lock_guard<std::mutex> lock(lock_for(handle));
  LARGE_INTEGER pointer{};
  const bool known = ::SetFilePointerEx(handle, LARGE_INTEGER{}, &pointer, FILE_CURRENT) != 0;
  const BOOL done = transfer();
  const DWORD error = ::GetLastError();
  if (known) ::SetFilePointerEx(handle, pointer, nullptr, FILE_BEGIN);
  ::SetLastError(error);
  return done;
}

// The handle of `fd`, or none with errno EBADF.
HANDLE open_handle(file_descriptor fd) {
  const HANDLE handle = handle_of(fd);
  if (handle == INVALID_HANDLE_VALUE) errno = EBADF;
  return handle;
}

}  // namespace

int write_all_at(file_descriptor fd, const char* data, std::size_t size, std::uint64_t offset) {
  const HANDLE handle = handle_of(fd);
  if (handle == INVALID_HANDLE_VALUE) return EBADF;
  while (size > 0) {
    const auto count = static_cast<DWORD>(std::min(size, most_per_call));
    DWORD written = 0;
    OVERLAPPED place = at_offset(offset);
    const BOOL done = keeping_file_pointer(
        handle, [&] { return ::WriteFile(handle, data, count, &written, &place); });
    if (!done) return errno_for_system_error(::GetLastError());
    if (written == 0) return ENOSPC;
    data += written;
    size -= written;
    offset += written;
  }
  return 0;
}

std::int64_t read_at(file_descriptor fd, void* data, std::size_t size, std::uint64_t offset) {
  const HANDLE handle = open_handle(fd);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const auto count = static_cast<DWORD>(std::min(size, most_per_call));
  DWORD got = 0;
  OVERLAPPED place = at_offset(offset);
  const BOOL done =
      keeping_file_pointer(handle, [&] { return ::ReadFile(handle, data, count, &got, &place); });
  if (!done) {
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    return fail_with_last_error();
  }
  return got;
}

std::int64_t read_next(file_descriptor fd, void* data, std::size_t size) {
  const HANDLE handle = open_handle(fd);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const auto count = static_cast<DWORD>(std::min(size, most_per_call));
  DWORD got = 0;
  if (!::ReadFile(handle, data, count, &got, nullptr)) {
    // A pipe whose writer has gone has ended.
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    return fail_with_last_error();
  }
  return got;
}

// Handles here are never non-blocking.
std::int64_t read_waiting(file_descriptor fd, void* data, std::size_t size) {
  return read_next(fd, data, size);
}

int rewind_descriptor(file_descriptor fd) {
  const HANDLE handle = handle_of(fd);
  if (!::SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
    return fail_with_last_error();
  }
  return 0;
}

}  // namespace vort
