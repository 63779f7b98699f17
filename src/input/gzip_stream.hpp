// The text of a gzip file, inflated in a thread of its own while the caller parses what came
// before: the thread fills a small ring of blocks (a few MB, whatever the file's size) and
// the caller takes them in order. Each block knows where it lies in the text: its offset and
// the number of its first line, counted in the inflating thread. The descriptor is read in
// order with read(2), so standard input serves as well as a file.
//
// A failure (damaged data, a read error) reaches the caller at the point of the text where
// it happened: every block before it is handed out, and the next call throws `failure`. The
// thread is joined when the stream goes, also when the caller stops early or fails. Where no
// thread can be had, the caller's thread inflates each block as it asks for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "platform/descriptor.hpp"

namespace vort {

struct text_block {
  const char* data = nullptr;
  std::size_t size = 0;
  std::uint64_t offset = 0;          // of its first byte in the text
  std::int64_t first_line = 1;       // the line that holds its first byte
  std::uint64_t compressed_end = 0;  // bytes of the file read when the block was complete
};

struct gzip_ring;

struct gzip_stream {
  std::unique_ptr<gzip_ring> ring;  // shared with the inflating thread
  std::thread inflating;            // not joinable when the caller's thread inflates
  std::uint64_t taken = 0;          // blocks handed out so far
  text_block current;               // the block handed out last
  std::size_t current_used = 0;     // of it, by `read_inflated`
  char last_byte = '\n';            // of the text handed out so far, '\n' before any

  gzip_stream();
  gzip_stream(gzip_stream&&) noexcept;
  gzip_stream& operator=(gzip_stream&&) = delete;
  ~gzip_stream();
};

// Starts inflating the gzip file open on `descriptor`, which stays open while the stream
// lives; `already_read` are its first bytes, read before (the magic). `name` is the file's
// name for messages. Without `own_thread` the caller's thread inflates, as where no thread
// can be had.
gzip_stream start_gzip_stream(file_descriptor descriptor, std::string_view already_read,
                              std::string name, bool own_thread = true);

// Hands out the next block of text in `block`, giving the one before back to the ring;
// returns false at the end of the text. Throws `failure` where the text cannot go on.
bool next_text_block(gzip_stream& stream, text_block& block);

// Copies up to `size` bytes of the text to `data` and returns their count: `size`, or less at
// the end of the text. Throws as `next_text_block` does.
std::size_t read_inflated(gzip_stream& stream, char* data, std::size_t size);

// Reads the text on to its end, from wherever the caller has got, and returns how many lines
// the whole text has: every line, an unended last one included. Throws as `next_text_block`
// does.
std::int64_t count_text_lines(gzip_stream& stream);

// The bytes of the file read by the time the block handed out last was complete: how far
// through the file the caller has got.
inline std::uint64_t compressed_bytes_taken(const gzip_stream& stream) {
  return stream.current.compressed_end;
}

}  // namespace vort
