// The line ends in a stretch of text: what the count of a plain table and the inflating thread
// of a compressed one both add up, block by block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vort {

inline std::int64_t line_ends_in(const char* data, std::size_t size) {
  std::int64_t count = 0;
  const char* const end = data + size;
  while (const void* found = std::memchr(data, '\n', static_cast<std::size_t>(end - data))) {
    ++count;
    data = static_cast<const char*>(found) + 1;
  }
  return count;
}

}  // namespace vort
