// The platform layer's positional I/O where offsets and sizes pass 32 bits: a table past 4 GB
// must be read whole on every system (a sparse file holds the test's bytes).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_status.hpp"
#include "platform/positional_io.hpp"
#include "platform/staging.hpp"

namespace vort {
namespace {

TEST(PositionalIo, OffsetsPastFourGigabytes) {
  const std::string name =
      (std::filesystem::temp_directory_path() / ("v2p-offsets-" + std::to_string(process_number())))
          .string();
  remove_file(name.c_str());
  const file_descriptor fd = create_new_file(name.c_str(), 0600);
  ASSERT_GE(fd, 0);
  constexpr std::uint64_t gigabyte = std::uint64_t{1} << 30;
  const std::vector<std::uint64_t> offsets = {0, 2 * gigabyte - 1, 4 * gigabyte - 2,
                                              4 * gigabyte + 20, 5 * gigabyte};
  for (const std::uint64_t offset : offsets) {
    const std::string text = "at " + std::to_string(offset);
    EXPECT_EQ(write_all_at(fd, text.data(), text.size(), offset), 0) << offset;
  }
  close_descriptor(fd);
  const file_descriptor reader = open_existing(name.c_str());
  ASSERT_GE(reader, 0);
  file_status status;
  ASSERT_EQ(status_of_open(reader, status), 0);
  EXPECT_EQ(status.size, 5 * gigabyte + ("at " + std::to_string(5 * gigabyte)).size());
  for (const std::uint64_t offset : offsets) {
    const std::string text = "at " + std::to_string(offset);
    std::string read(text.size(), '\0');
    EXPECT_EQ(read_at(reader, read.data(), read.size(), offset),
              static_cast<std::int64_t>(text.size()));
    EXPECT_EQ(read, text) << offset;
  }
  // A sequential read starts where the positional ones left the file's own offset: at 0.
  char first[3] = {};
  EXPECT_EQ(read_next(reader, first, sizeof first), 3);
  EXPECT_EQ(std::string(first, 3), "at ");
  close_descriptor(reader);
  remove_file(name.c_str());
}

}  // namespace
}  // namespace vort
