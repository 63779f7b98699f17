#include "input/piped_table.hpp"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "common/disk_reserve.hpp"
#include "common/failure.hpp"
#include "input/gzip_inflater.hpp"
#include "input/inflated_scan.hpp"
#include "input/stream_bounds.hpp"
#include "input/table_reader.hpp"
#include "platform/positional_io.hpp"
#include "platform/terminal.hpp"
#include "platform/unnamed_file.hpp"

namespace vort {
namespace {

constexpr std::size_t copy_block = std::size_t{1} << 20;

[[noreturn]] void refuse(fault code, int error = 0, std::vector<fact> facts = {}) {
  throw failure{code, "", error, std::move(facts)};
}

// A file without a name: nothing to remove, whatever ends the run.
unique_fd unnamed_file() {
  const std::string directory = temporary_directory();
  unique_fd file(unnamed_temporary(directory.c_str()));
  if (file.fd < 0) {
    refuse(fault::input_no_temporary, errno, {directory});
  }
  return file;
}

// Whether what has been copied so far already holds more than `most` records. A copy that
// ends inside a record, or inside compressed data, is no proof of anything: its failures are
// left to the reading of the whole table.
bool holds_more_records(file_descriptor copy, std::int64_t most) {
  try {
    const table_file so_far = adopt_table(piped_table_name, unique_fd(duplicate_descriptor(copy)));
    return for_each_record(so_far, most + 1, [](const record_view&) { return true; }) > most;
  } catch (const failure&) {
    return false;
  }
}

// Writes at `offset`, not at the file's offset: a count of the copy reads it through a
// descriptor that shares that offset, and may leave it anywhere.
void write_all(file_descriptor to, const char* data, std::size_t size, std::uint64_t offset) {
  if (const int error = write_all_at(to, data, size, offset)) {
    refuse(fault::input_copy_failed, error);
  }
}

// Refuses a block that would leave the copy's file system less than its reserve; where the
// room cannot be told, the write itself finds a full disk.
void keep_reserve(file_descriptor copy, std::size_t more) {
  const std::optional<disk_room> room = disk_room_of(copy);
  if (room && !leaves_reserve(*room, more)) {
    refuse(fault::input_copy_beyond_reserve, 0,
           {static_cast<std::int64_t>(disk_reserve(room->size)), temporary_directory()});
  }
}

// Reads a block of the stream; the first one holds at least the two bytes that tell a
// compressed stream (a pipe may hand them out one at a time). 0 at the stream's end.
std::size_t read_block(file_descriptor input, char* block, bool first) {
  std::size_t size = 0;
  do {
    const std::int64_t got = read_waiting(input, block + size, copy_block - size);
    if (got < 0) refuse(fault::input_unreadable, errno);
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  } while (first && size < 2);
  return size;
}

// A compressed stream is bounded by its bytes, and by its text's lines as a plain one is.
std::optional<failure> scan_compressed_block(stream_scan& scan, inflated_scan& inflated,
                                             const stream_bounds& bounds, const char* data,
                                             std::size_t size) {
  if (std::optional<failure> refusal = scan_block_bytes(scan, bounds, size)) return refusal;
  return scan_inflated_block(inflated, bounds, piped_table_name, data, size);
}

}  // namespace

table_file copy_piped_table(file_descriptor input, std::int64_t most_records,
                            std::uint64_t count_from) {
  if (is_terminal(input)) refuse(fault::input_is_terminal);
  unique_fd copy = unnamed_file();
  const auto block = std::make_unique_for_overwrite<char[]>(copy_block);
  const stream_bounds bounds = bounds_for_records(most_records);
  stream_scan scan;
  inflated_scan inflated;
  bool compressed = false;
  std::uint64_t copied = 0;
  std::uint64_t count_at = count_from;
  for (;;) {
    const std::size_t size = read_block(input, block.get(), copied == 0);
    if (size == 0) break;
    if (copied == 0) compressed = starts_with_gzip_magic(block.get(), size);
    const std::optional<failure> refusal =
        compressed ? scan_compressed_block(scan, inflated, bounds, block.get(), size)
                   : scan_plain_block(scan, bounds, piped_table_name, block.get(), size);
    if (refusal) throw *refusal;
    keep_reserve(copy.fd, size);
    write_all(copy.fd, block.get(), size, copied);
    copied += size;
    if (copied >= count_at) {
      count_at *= record_count_growth;
      if (holds_more_records(copy.fd, most_records)) {
        throw too_many_records(piped_table_name, most_records);
      }
    }
  }
  return adopt_table(piped_table_name, std::move(copy));
}

table_file open_table_or_input(const std::string& name, std::int64_t most_records) {
  return name == piped_table_argument ? copy_piped_table(standard_input, most_records)
                                      : open_table(name);
}

}  // namespace vort
