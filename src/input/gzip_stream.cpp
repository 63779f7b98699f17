#include "input/gzip_stream.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "common/failure.hpp"
#include "common/parallel_parts.hpp"
#include "input/gzip_inflater.hpp"
#include "input/line_ends.hpp"

namespace vort {
namespace {

// Four blocks of 512 KB: the thread inflates up to three ahead while the caller parses one.
constexpr std::size_t ring_blocks = 4;
constexpr std::size_t block_bytes = std::size_t{512} << 10;

}  // namespace

struct gzip_ring {
  std::string name;
  wake_signal wake;  // sent when the caller goes: the thread may wait on a pipe
  // The inflating side's own: the inflater, the blocks' memory and where the next block lies.
  gzip_inflater inflater;
  std::vector<std::unique_ptr<char[]>> memory;
  std::uint64_t next_offset = 0;
  std::int64_t next_line = 1;
  // Shared, under the mutex.
  std::mutex mutex;
  std::condition_variable made_one, freed_one;
  std::vector<text_block> blocks;
  std::uint64_t made = 0;         // blocks complete so far
  std::uint64_t freed = 0;        // blocks given back by the caller
  bool ended = false;             // no block follows the `made` ones
  std::optional<failure> failed;  // why the text ends there, if it is not whole
  std::uint64_t compressed_at_end = 0;
  bool stop = false;  // the caller has gone

  ~gzip_ring() { close_wake_signal(wake); }
};

namespace {

// Inflates the next block of text into slot `index` (without the lock: the slot is the
// inflating side's until it is counted as made).
void make_block(gzip_ring& ring, std::size_t index) {
  char* data = ring.memory[index].get();
  const std::size_t size = inflate_text(ring.inflater, data, block_bytes);
  ring.blocks[index] = {data, size, ring.next_offset, ring.next_line,
                        ring.inflater.compressed_read};
  ring.next_offset += size;
  ring.next_line += line_ends_in(data, size);
}

bool text_over(const gzip_inflater& inflater) {
  return inflater.phase == inflate_phase::end || inflate_failed(inflater);
}

// Under the lock: the block in slot `index` is made; when the text is over, says how.
void publish_block(gzip_ring& ring, std::size_t index) {
  if (ring.blocks[index].size > 0) ++ring.made;
  if (!text_over(ring.inflater)) return;
  ring.ended = true;
  ring.compressed_at_end = ring.inflater.compressed_read;
  if (inflate_failed(ring.inflater)) {
    ring.failed = inflate_failure(ring.inflater, ring.name);
  }
}

// The inflating thread: fills free slots in turn until the text is over or the caller goes.
void inflate_ahead(gzip_ring& ring) {
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock lock(ring.mutex);
      ring.freed_one.wait(lock, [&] { return ring.stop || ring.made - ring.freed < ring_blocks; });
      if (ring.stop) return;
      index = ring.made % ring_blocks;
    }
    make_block(ring, index);
    bool over = false;
    {
      const std::lock_guard lock(ring.mutex);
      publish_block(ring, index);
      over = ring.ended;
    }
    ring.made_one.notify_one();
    if (over) return;
  }
}

void end_with(gzip_ring& ring, failure refusal) {
  const std::lock_guard lock(ring.mutex);
  ring.ended = true;
  ring.failed = std::move(refusal);
  ring.made_one.notify_one();
}

void inflate_ahead_guarded(gzip_ring& ring) {
  try {
    inflate_ahead(ring);
  } catch (const failure& refusal) {
    end_with(ring, refusal);
  } catch (const std::exception& error) {
    end_with(ring, failure{fault::cannot_read, ring.name, 0, {std::string(error.what())}});
  }
}

// Under the lock where there is a thread: the next made block, or the end of the text.
bool hand_out(gzip_stream& stream, text_block& block) {
  gzip_ring& ring = *stream.ring;
  if (ring.made > stream.taken) {
    stream.current = ring.blocks[stream.taken % ring_blocks];
    ++stream.taken;
  } else {
    if (ring.failed) throw *ring.failed;
    stream.current = {nullptr, 0, ring.next_offset, ring.next_line, ring.compressed_at_end};
  }
  stream.current_used = 0;
  block = stream.current;
  if (block.size > 0) stream.last_byte = block.data[block.size - 1];
  return block.size > 0;
}

// Without a thread: the caller's thread inflates each block when it asks for it.
bool next_block_here(gzip_stream& stream, text_block& block) {
  gzip_ring& ring = *stream.ring;
  if (!ring.ended) {
    const std::size_t index = stream.taken % ring_blocks;
    make_block(ring, index);
    publish_block(ring, index);
  }
  return hand_out(stream, block);
}

}  // namespace

gzip_stream::gzip_stream() = default;
gzip_stream::gzip_stream(gzip_stream&&) noexcept = default;

gzip_stream::~gzip_stream() {
  if (!inflating.joinable()) return;
  {
    const std::lock_guard lock(ring->mutex);
    ring->stop = true;
  }
  ring->freed_one.notify_one();
  send_wake(ring->wake);
  inflating.join();
}

gzip_stream start_gzip_stream(file_descriptor descriptor, std::string_view already_read,
                              std::string name, bool own_thread) {
  gzip_stream stream;
  stream.ring = std::make_unique<gzip_ring>();
  gzip_ring& ring = *stream.ring;
  ring.name = std::move(name);
  ring.wake = make_wake_signal();
  ring.inflater = start_inflater(descriptor, already_read, ring.wake);
  for (std::size_t i = 0; i < ring_blocks; ++i) {
    ring.memory.push_back(std::make_unique_for_overwrite<char[]>(block_bytes));
  }
  ring.blocks.resize(ring_blocks);
  try {
    if (own_thread) {
      stream.inflating = thread_without_interrupts([&ring] { inflate_ahead_guarded(ring); });
    }
  } catch (const std::system_error&) {
    // No thread to be had: `next_text_block` inflates on the caller's thread.
  }
  return stream;
}

bool next_text_block(gzip_stream& stream, text_block& block) {
  if (!stream.inflating.joinable()) return next_block_here(stream, block);
  gzip_ring& ring = *stream.ring;
  std::unique_lock lock(ring.mutex);
  ring.freed = stream.taken;  // the block handed out before goes back
  ring.freed_one.notify_one();
  ring.made_one.wait(lock, [&] { return ring.made > stream.taken || ring.ended; });
  return hand_out(stream, block);
}

std::int64_t count_text_lines(gzip_stream& stream) {
  text_block block;
  while (next_text_block(stream, block)) {
  }
  // The thread has counted the line ends before each block, and so before the end.
  return block.first_line - 1 + (stream.last_byte != '\n' ? 1 : 0);
}

std::size_t read_inflated(gzip_stream& stream, char* data, std::size_t size) {
  std::size_t copied = 0;
  while (copied < size) {
    if (stream.current_used == stream.current.size) {
      text_block next;
      try {
        if (!next_text_block(stream, next)) break;
      } catch (const failure&) {
        if (copied == 0) throw;
        break;  // the text read so far first; the next call fails again
      }
    }
    const std::size_t count = std::min(size - copied, stream.current.size - stream.current_used);
    std::memcpy(data + copied, stream.current.data + stream.current_used, count);
    stream.current_used += count;
    copied += count;
  }
  return copied;
}

}  // namespace vort
