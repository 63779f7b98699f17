#include "input/line_counter.hpp"

#include <algorithm>
#include <cstring>

#include "common/failure.hpp"
#include "common/parallel_parts.hpp"
#include "input/line_ends.hpp"

namespace vort {
namespace {

struct part_count {
  std::int64_t line_ends = 0;
  char last = '\n';  // the last byte of the part, '\n' for an empty one
};

part_count count_line_ends(byte_source& source, int parts) {
  std::vector<char> block(block_size_for(source, part_block_size(parts)));
  part_count count;
  while (const std::size_t got = read_bytes(source, block.data(), block.size())) {
    count.line_ends += line_ends_in(block.data(), got);
    count.last = block[got - 1];
  }
  return count;
}

// The first line start at or after `at`, or 0 when there is none before the end.
std::uint64_t line_start_from(const table_file& table, std::uint64_t at) {
  byte_source source = read_text_range(table, at, table.size);
  char window[4096];
  while (const std::size_t got = read_bytes(source, window, sizeof window)) {
    if (const void* found = std::memchr(window, '\n', got)) {
      const std::uint64_t start =
          at + static_cast<std::size_t>(static_cast<const char*>(found) - window) + 1;
      return start < table.size ? start : 0;
    }
    at += got;
  }
  return 0;
}

// Line starts near each n / parts of a plain table, in order, without repeats.
std::vector<std::uint64_t> part_starts_of(const table_file& table, int parts) {
  std::vector<std::uint64_t> starts{0};
  for (int n = 1; n < parts; ++n) {
    const std::uint64_t start = line_start_from(table, table.size / parts * n);
    if (start > starts.back()) starts.push_back(start);
  }
  return starts;
}

// Beyond what a record number can count.
void refuse_too_many_lines(const table_file& table, std::int64_t lines) {
  if (lines > most_lines) throw too_many_lines(table.name);
}

}  // namespace

failure too_many_lines(const std::string& name) {
  return failure{fault::too_many_lines, name, 0, {most_lines}};
}

line_count count_rest_of_text(const table_file& table, gzip_stream& stream) {
  line_count count;
  count.lines = count_text_lines(stream);
  refuse_too_many_lines(table, count.lines);
  return count;
}

line_count count_lines(const table_file& table, int parts) {
  if (table.encoding == table_encoding::gzip) {
    byte_source source = read_text(table);
    return count_rest_of_text(table, *source.gz);
  }
  line_count count;
  const auto most = static_cast<int>(std::min<std::uint64_t>(
      static_cast<std::uint64_t>(std::max(parts, 1)), table.size / smallest_part));
  if (most >= 2) count.part_starts = part_starts_of(table, most);
  if (count.part_starts.size() < 2) count.part_starts.clear();
  const std::size_t n = std::max<std::size_t>(count.part_starts.size(), 1);
  std::vector<part_count> counts(n);
  run_parts(static_cast<int>(n), [&](int part) {
    const auto p = static_cast<std::size_t>(part);
    byte_source source =
        n == 1 ? read_text(table)
               : read_text_range(table, count.part_starts[p],
                                 p + 1 < n ? count.part_starts[p + 1] : byte_source::unlimited);
    counts[p] = count_line_ends(source, static_cast<int>(n));
  });
  for (std::size_t p = 0; p < n; ++p) {
    if (n > 1) count.lines_before_part.push_back(count.lines);
    count.lines += counts[p].line_ends;
  }
  if (counts.back().last != '\n') ++count.lines;
  refuse_too_many_lines(table, count.lines);
  return count;
}

}  // namespace vort
