#include "input/line_counter.hpp"

#include <cstring>
#include <limits>
#include <vector>

#include "common/failure.hpp"
#include "input/byte_source.hpp"

namespace vort::files_analysis {

std::int32_t file_record(const std::string& name) {
  byte_source source = open_byte_source(name);
  std::vector<char> block(block_size_for(source, std::size_t{1} << 20));
  std::int64_t lines = 0;
  char last = '\n';
  while (const std::size_t got = read_bytes(source, block.data(), block.size())) {
    const char* p = block.data();
    const char* const end = p + got;
    while (const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      ++lines;
      p = static_cast<const char*>(found) + 1;
    }
    last = end[-1];
  }
  if (last != '\n') ++lines;
  if (lines > std::numeric_limits<std::int32_t>::max()) {
    throw failure{in_quotes(name) + " has more than 2147483647 lines"};
  }
  return static_cast<std::int32_t>(lines);
}

}  // namespace vort::files_analysis
