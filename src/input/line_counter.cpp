#include "input/line_counter.hpp"

#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "common/failure.hpp"
#include "common/side_by_side.hpp"
#include "input/byte_source.hpp"

namespace vort::files_analysis {
namespace {

// Below this size one thread counts (and reads) faster than two start.
constexpr std::uint64_t size_worth_two_threads = std::uint64_t{8} << 20;
constexpr std::size_t block_size = std::size_t{1} << 20;

struct part_count {
  std::int64_t line_ends = 0;
  char last = '\n';  // the last byte of the part, '\n' for an empty one
};

part_count count_line_ends(byte_source& source) {
  std::vector<char> block(block_size_for(source, block_size));
  part_count count;
  while (const std::size_t got = read_bytes(source, block.data(), block.size())) {
    const char* p = block.data();
    const char* const end = p + got;
    while (const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      ++count.line_ends;
      p = static_cast<const char*>(found) + 1;
    }
    count.last = end[-1];
  }
  return count;
}

// The first line start at or after the middle of the file, or 0 when there is none.
std::uint64_t line_start_near_middle(const std::string& name, std::uint64_t size) {
  byte_source source = open_byte_range(name, size / 2, size);
  char window[4096];
  std::uint64_t at = size / 2;
  while (const std::size_t got = read_bytes(source, window, sizeof window)) {
    if (const void* found = std::memchr(window, '\n', got)) {
      const std::uint64_t split =
          at + static_cast<std::size_t>(static_cast<const char*>(found) - window) + 1;
      return split < size ? split : 0;
    }
    at += got;
  }
  return 0;
}

// Counts [0, split) here and [split, end) beside it.
void count_in_halves(const std::string& name, line_count& count, part_count& tail) {
  part_count head;
  run_side_by_side(
      [&] {
        byte_source first = open_byte_range(name, 0, count.split);
        head = count_line_ends(first);
      },
      [&] {
        byte_source second = open_byte_range(name, count.split, byte_source::unlimited);
        tail = count_line_ends(second);
      });
  count.lines_before_split = head.line_ends;
  count.lines = head.line_ends + tail.line_ends;
}

}  // namespace

std::int32_t file_record(const std::string& name, line_count* detail) {
  byte_source source = open_byte_source(name);
  line_count count;
  part_count tail;
  const bool plain_and_large = !source.gz && source.file_size >= size_worth_two_threads &&
                               std::thread::hardware_concurrency() >= 2;
  if (plain_and_large) count.split = line_start_near_middle(name, source.file_size);
  if (count.split > 0) {
    count_in_halves(name, count, tail);
  } else {
    tail = count_line_ends(source);
    count.lines = tail.line_ends;
  }
  if (tail.last != '\n') ++count.lines;
  if (count.lines > std::numeric_limits<std::int32_t>::max()) {
    throw failure{in_quotes(name) + " has more than 2147483647 lines"};
  }
  if (detail != nullptr) *detail = count;
  return static_cast<std::int32_t>(count.lines);
}

}  // namespace vort::files_analysis
