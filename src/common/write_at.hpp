// Writing a whole buffer at a given place of a file, with pwrite(2): the descriptor's own
// offset is left alone, so a file shared with a reader, or written in parts by several
// threads at once, gets every byte where it belongs.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace vort {

// Writes the `size` bytes at `data` to `offset` of the file; returns 0, or the errno of the
// write that failed. A write that takes nothing counts as ENOSPC, so a full device cannot
// keep the loop turning.
inline int write_all_at(int fd, const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return ENOSPC;
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return 0;
}

}  // namespace vort
