// The inflating stream: the text of every member, in blocks that know their place, from a
// file or a pipe; every damage refused at the point of the text where it lies; the thread
// joined however the caller ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "failure_of.hpp"
#include "gzip_bytes.hpp"
#include "input/gzip_stream.hpp"
#include "temp_file.hpp"

namespace vort {
namespace {

std::string records(int count) {
  std::string text = "header\nheader\n";
  for (int r = 0; r < count; ++r) {
    text +=
        "  " + std::to_string(r * 0.001) + "  2.5E-01 -3.0  4 5 6 7 8 " + std::to_string(r) + "\n";
  }
  return text;
}

// The file's bytes on a pipe, written by a thread of the test: read as standard input is,
// in pieces, never sought. The first two bytes are handed in as already read (the magic).
struct piped_file {
  int ends[2] = {-1, -1};
  std::thread writer;
  explicit piped_file(const std::string& bytes) {
    if (::pipe(ends) != 0) throw std::runtime_error("no pipe");
    writer = std::thread([this, rest = bytes.substr(std::min<std::size_t>(2, bytes.size()))] {
      for (std::size_t at = 0; at < rest.size();) {
        const ssize_t put =
            ::write(ends[1], rest.data() + at, std::min<std::size_t>(rest.size() - at, 7919));
        if (put <= 0) break;
        at += static_cast<std::size_t>(put);
      }
      ::close(ends[1]);
    });
  }
  // A stream that stops early (damaged data) leaves the rest of the pipe unread, and a writer
  // with more than the pipe holds would wait for ever: the rest is read here first.
  ~piped_file() {
    std::array<char, 65536> rest;
    while (::read(ends[0], rest.data(), rest.size()) > 0) {
    }
    writer.join();
    ::close(ends[0]);
  }
};

// The whole text read through `read_inflated` in pieces of an odd size, or the failure's message
// after "failure: " with the text read before it.
std::string read_all(gzip_stream& stream) {
  std::string text;
  std::vector<char> piece(100003);
  try {
    while (const std::size_t got = read_inflated(stream, piece.data(), piece.size())) {
      text.append(piece.data(), got);
    }
  } catch (const failure& f) {
    return text + "failure: " + failure_text(f, name_charset::ascii);
  }
  return text;
}

std::string read_from_file(const std::string& bytes, const std::string& name = "t.gz") {
  temp_file file(bytes);
  const int descriptor = ::open(file.name().c_str(), O_RDONLY);
  std::string text;
  {
    gzip_stream stream = start_gzip_stream(descriptor, {}, name);
    text = read_all(stream);
  }
  ::close(descriptor);
  return text;
}

std::string read_from_pipe(const std::string& bytes) {
  piped_file pipe(bytes);
  gzip_stream stream =
      start_gzip_stream(pipe.ends[0], std::string_view(bytes).substr(0, 2), "t.gz");
  return read_all(stream);
}

TEST(GzipStream, TextOfEveryMember) {
  const std::string table = records(40000);  // 2.7 MB: more than the ring holds
  const std::string small = records(3);
  struct text_case {
    std::string name;
    std::string file;
    std::string text;
  };
  const std::vector<text_case> cases = {
      {"one member", gzip_member(table), table},
      {"stored", gzip_member(small, 0), small},
      {"three members, one empty", gzip_member(small) + gzip_member("") + gzip_member(table, 1),
       small + table},
      {"zero padding", gzip_member(small) + std::string(10000, '\0'), small},
      {"empty text", gzip_member(""), ""},
  };
  for (const text_case& c : cases) {
    EXPECT_EQ(read_from_file(c.file), c.text) << c.name;
    EXPECT_EQ(read_from_pipe(c.file), c.text) << c.name;
  }
}

TEST(GzipStream, BlocksKnowTheirOffsetAndFirstLine) {
  const std::string table = records(40000);
  temp_file file(gzip_member(table.substr(0, 1000000)) + gzip_member(table.substr(1000000)));
  const int descriptor = ::open(file.name().c_str(), O_RDONLY);
  gzip_stream stream = start_gzip_stream(descriptor, {}, "t.gz");
  text_block block;
  std::uint64_t offset = 0;
  int blocks = 0;
  while (next_text_block(stream, block)) {
    ASSERT_EQ(block.offset, offset);
    const auto lines_before = std::count(table.begin(), table.begin() + offset, '\n');
    EXPECT_EQ(block.first_line, lines_before + 1);
    EXPECT_EQ(std::string_view(block.data, block.size), table.substr(offset, block.size));
    offset += block.size;
    ++blocks;
  }
  EXPECT_EQ(offset, table.size());
  EXPECT_GT(blocks, 1);
  EXPECT_EQ(compressed_bytes_taken(stream), std::filesystem::file_size(file.path));
  ::close(descriptor);
}

TEST(GzipStream, DamageEndsTheTextWhereItLies) {
  const std::string text = records(2000);
  const std::string member = gzip_member(text);
  const std::string stored = gzip_member(text, 0);
  const std::string deflated = member.substr(10, member.size() - 18);
  std::string type_3 = member;  // the first block's type bits set: 11, which no block has
  type_3[10] = static_cast<char>(type_3[10] | 0x06);
  // A fixed-code block whose first symbol is literal/length 286, which no code may use.
  const std::string bad_symbol = member_around(std::string("\x1b\x03\x00\x00", 4), text);
  struct damage_case {
    std::string name;
    std::string file;
    std::string reason;
    bool whole_text_first = false;  // the damage lies after the text: all of it comes first
  };
  const std::vector<damage_case> cases = {
      {"cut in the deflate data", member.substr(0, member.size() / 2), "unexpected end of file"},
      {"cut in the trailer", member.substr(0, member.size() - 3), "unexpected end of file", true},
      {"cut in the header", member.substr(0, 7), "unexpected end of file"},
      {"magic alone", member.substr(0, 2), "unexpected end of file"},
      {"second member cut", member + member.substr(0, 30), "unexpected end of file", true},
      {"wrong CRC", flipped(member, -8, 0x01), "incorrect data check", true},
      {"wrong length", flipped(member, -4, 0x10), "incorrect length check", true},
      {"wrong CRC and length", flipped(flipped(member, -1, 1), -5, 1), "incorrect data check",
       true},
      {"a stored byte flipped", flipped(stored, 100, 0x01), "incorrect data check"},
      {"block type 3", type_3, "invalid block header"},
      {"stored lengths disagree", flipped(stored, 13, 0x01), "invalid block header"},
      {"invalid symbol", bad_symbol, "invalid code"},
      {"distance too far back", member_around(deflated_against(text, text), text),
       "invalid distance too far back"},
      {"unknown method", flipped(member, 2, 0x0f), "unknown compression method"},
      {"reserved flag", flipped(member, 3, 0x20), "unknown header flags set"},
      {"header CRC mismatch",
       member_around(deflated, text, std::string("\x1f\x8b\x08\x02\0\0\0\0\0\x03\x12\x34", 12)),
       "header crc mismatch"},
      {"trailing text", member + "end of table\n", "trailing data after the last gzip member",
       true},
      {"trailing 1f", member + "\x1f", "trailing data after the last gzip member", true},
      {"zeros, then more", member + std::string(3000, '\0') + "x",
       "trailing data after the last gzip member", true},
  };
  for (const damage_case& c : cases) {
    const std::string message =
        "failure: cannot read \"t.gz\": the compressed data are damaged (" + c.reason + ")";
    const std::string read = read_from_file(c.file);
    ASSERT_TRUE(read.ends_with(message)) << c.name << ": " << read.substr(read.rfind('\n') + 1);
    const std::size_t delivered = read.size() - message.size();
    if (c.whole_text_first) {
      EXPECT_EQ(delivered, text.size()) << c.name;
    }
    if (c.name != "a stored byte flipped") {
      EXPECT_EQ(read.substr(0, delivered), text.substr(0, delivered)) << c.name;
    }
    EXPECT_TRUE(read_from_pipe(c.file).ends_with(message)) << c.name;
  }
  // Every file cut short is refused so, wherever the cut.
  const std::string small = gzip_member(records(20));
  for (std::size_t size = 2; size < small.size(); ++size) {
    const std::string read = read_from_file(small.substr(0, size));
    ASSERT_NE(read.find("(unexpected end of file)"), std::string::npos) << size << ": " << read;
  }
}

TEST(GzipStream, ReadErrorIsNamed) {
  const int directory = ::open("/tmp", O_RDONLY | O_DIRECTORY);
  {
    gzip_stream stream = start_gzip_stream(directory, "\x1f\x8b", "/tmp");
    EXPECT_EQ(read_all(stream), "failure: cannot read \"/tmp\": Is a directory");
  }
  ::close(directory);
}

// The caller may go at any time: the thread, waiting for a free block or for a pipe that
// brings nothing, is stopped and joined.
TEST(GzipStream, CallerThatStopsEarlyJoinsTheThread) {
  const std::string table = records(40000);
  temp_file file(gzip_member(table));
  const int descriptor = ::open(file.name().c_str(), O_RDONLY);
  {
    gzip_stream stream = start_gzip_stream(descriptor, {}, "t.gz");
    text_block block;
    ASSERT_TRUE(next_text_block(stream, block));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(descriptor);

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string start = gzip_member(table).substr(0, 1000);
  ASSERT_EQ(::write(ends[1], start.data(), start.size()), static_cast<ssize_t>(start.size()));
  const auto before = std::chrono::steady_clock::now();
  {
    gzip_stream stream = start_gzip_stream(ends[0], {}, "t.gz");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  ::close(ends[0]);
  ::close(ends[1]);
}

}  // namespace
}  // namespace vort
