#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/disk_reserve.hpp"
#include "common/failure.hpp"
#include "common/grid.hpp"
#include "failure_of.hpp"
#include "fieldmap/line_writer.hpp"
#include "gzip_bytes.hpp"
#include "input/inflated_scan.hpp"
#include "input/line_blocks.hpp"
#include "input/line_counter.hpp"
#include "input/piped_table.hpp"
#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/stream_bounds.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "temp_file.hpp"

namespace vort {
namespace {

TEST(LineCounter, CountsEveryLine) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"", 0},
      {"h1\nh2\n", 2},
      {"h1\nh2", 2},
      {"h1\r\nh2\r\n", 2},
      {"a\n\n\nb\n", 4},
      {"\n", 1},
      {std::string(3 << 20, 'x') + "\n" + std::string(10, 'y'), 2},  // lines across blocks
  };
  for (const auto& [text, lines] : cases) {
    temp_file file(text), compressed(gzip_member(text));
    EXPECT_EQ(count_lines(open_table(file.name()), 1).lines, lines) << text.substr(0, 20);
    EXPECT_EQ(count_lines(open_table(compressed.name()), 1).lines, lines) << text.substr(0, 20);
  }
  EXPECT_EQ(failure_of([] { open_table("/no/such/table.txt"); }),
            "cannot open \"/no/such/table.txt\": No such file or directory");
  EXPECT_EQ(failure_of([] { open_table("/tmp"); }), "cannot read \"/tmp\": it is a directory");
  EXPECT_EQ(failure_of([] { open_table("/dev/null"); }),
            "cannot read \"/dev/null\": it is not a regular file");
}

// Records come z fastest; the table keeps them x fastest: record r of knot (i, j, k) lands
// where values_index says, whichever way the knot is found, and the body's line (j, k) of a
// field holds the records of knots (1 .. Nx, j, k).
TEST(RecordTable, RecordsLandWherePlaceOfSays) {
  const grid_counts counts{3, 2, 4};
  record_table table = allocate_record_table(counts);
  EXPECT_EQ(table.rows, 24);
  EXPECT_EQ(values_index(table, 2, 2, 3), 16);  // x fastest: ((3 - 1) * 2 + (2 - 1)) * 3 + (2 - 1)
  EXPECT_EQ(field_array(table, 5)[values_index(table, 3, 2, 4)], 0);  // knots are zero-filled
  knot_walk walk = walk_from(counts, 0);
  for (std::int64_t r = 1; r <= table.rows; ++r, next_knot(walk)) {
    const double fields[field_values] = {double(r), 0, 0, 0, 0, -double(r)};
    store_fields(table, walk, fields);
    const knot_walk jumped = walk_from(counts, r - 1);
    EXPECT_EQ(knot_text(jumped), knot_text(walk)) << r;
  }
  // Record 15 is knot (2, 2, 3): (2 - 1) * 2 * 4 + (2 - 1) * 4 + 3.
  EXPECT_EQ(field_array(table, 0)[values_index(table, 2, 2, 3)], 15);
  EXPECT_EQ(field_array(table, 5)[values_index(table, 3, 2, 4)], -24);
  EXPECT_EQ(knot_text(walk_from(counts, 14)), "(2, 2, 3)");
  const double* const line = table_line(table, 0, 2, 3);
  EXPECT_EQ(std::vector<double>(line, line + counts.nx), (std::vector<double>{7, 15, 23}));
}

TEST(RecordTable, RefusesGridsItCannotHold) {
  EXPECT_EQ(failure_of([] {
              check_grid_counts({0, 2, 2});
            }),
            "grid counts must be at least 1, got Nx=0, Ny=2, Nz=2");
  EXPECT_EQ(failure_of([] {
              check_grid_counts({2, -5, 2});
            }),
            "grid counts must be at least 1, got Nx=2, Ny=-5, Nz=2");
  EXPECT_EQ(failure_of([] {
              check_grid_counts({2000, 2000, 2000});
            }),
            "a grid of 2000 x 2000 x 2000 = 8000000000 knots is more than the 2147483647 the "
            "record table can number");
  EXPECT_EQ(failure_of([] { check_grid_counts({1290, 1290, 1290}); }), "(no failure)");
  // Products beyond 64 bits are refused with their true value, never wrapped.
  EXPECT_EQ(failure_of([] {
              check_grid_counts({7623851, 1229673, 3935371});
            }),
            "a grid of 7623851 x 1229673 x 3935371 = 36893488147419103233 knots is more than the "
            "2147483647 the record table can number");
  EXPECT_EQ((grid_counts{2147483647, 1, 1}.knots()), 2147483647);
  EXPECT_EQ((grid_counts{1073741824, 2, 1}.knots()), -1);
  EXPECT_EQ((grid_counts{2097152, 2097152, 4194304}.knots()), -1);
  EXPECT_EQ(table_bytes({1000, 1000, 1000}), std::uint64_t{1000} * 1000 * 1000 * 48);
  EXPECT_EQ(table_bytes({2147483647, 1, 1}), std::uint64_t{2147483647} * 48);
}

struct read_case {
  std::string name;
  std::string text;
  grid_counts counts;
  std::int64_t records;  // expected records read, or -1 for a failure
  std::string message;   // expected failure, with "FILE" for the file name
};

TEST(TableReader, ReadsUpToTheGridAndRefusesWhatFollowsIt) {
  const std::string record = "1 2 3 4 5 6 7 8 9\n";
  const std::string more_than_2 =
      "\"FILE\" holds more records than the grid has knots (2); check Nx, Ny and Nz";
  const std::vector<read_case> cases = {
      {"R + 3 lines, empty last", "h\nh\n" + record + record + "\n", {2, 1, 1}, 2, ""},
      {"R + 2 lines keeps the last record", "h\nh\n" + record + record, {2, 1, 1}, 2, ""},
      {"one-knot table", "h\nh\n" + record, {1, 1, 1}, 1, ""},
      {"non-numeric trailer", "h\nh\n" + record + record + "end of data\n", {2, 1, 1}, 2, ""},
      {"trailer of several lines",
       "h\nh\n" + record + record + "end\n\n1 2 end\n",
       {2, 1, 1},
       2,
       ""},
      {"slash trailer", "h\nh\n" + record + record + "/\n", {2, 1, 1}, 2, ""},
      {"record ended by a slash", "h\nh\n1 2 3 /\n" + record, {2, 1, 1}, 2, ""},
      {"empty lines between records", "h\nh\n" + record + "\n\n" + record, {2, 1, 1}, 2, ""},
      {"fewer records than knots", "h\nh\n" + record, {2, 2, 1}, 1, ""},
      {"only the header", "h\nh\n", {2, 1, 1}, 0, ""},
      {"more records than knots", "h\nh\n" + record + record + record, {2, 1, 1}, -1, more_than_2},
      {"two tables in one file",
       "h\nh\n" + record + record + "h\nh\n" + record + record,
       {2, 1, 1},
       -1,
       more_than_2},
      {"a record after a slash trailer",
       "h\nh\n" + record + record + "/\n" + record,
       {2, 1, 1},
       -1,
       more_than_2},
      {"a damaged record after the grid",
       "h\nh\n" + record + record + "1 2 3 4 5 6 7 8 x\n",
       {2, 1, 1},
       -1,
       more_than_2},
      {"a record cut short after the grid",
       "h\nh\n" + record + record + "1 2 3\n",
       {2, 1, 1},
       -1,
       more_than_2},
      {"text before the grid is full",
       "h\nh\n" + record + record + "end\n",
       {3, 1, 1},
       -1,
       "FILE:5: cannot read \"end\" as a number (value 1 of record 3)"},
      {"one header line",
       "h\n",
       {1, 1, 1},
       -1,
       "\"FILE\" ends before its two header lines (it has 1 line)"},
      {"empty file",
       "",
       {1, 1, 1},
       -1,
       "\"FILE\" ends before its two header lines (it has 0 lines)"},
      {"bad value",
       "h\nh\n" + record + "1 2 3 1.2.3 5 6 7 8 9\n",
       {2, 1, 1},
       -1,
       "FILE:4: cannot read \"1.2.3\" as a number (value 4 of record 2)"},
      {"value too large",
       "h\nh\n1 2 3 4 5 6 7 8 1e400\n",
       {1, 1, 1},
       -1,
       "FILE:3: cannot read \"1e400\" as a number: it is too large for a double (value 9 of "
       "record 1)"},
      {"record cut short",
       "h\nh\n" + record + "1 2 3 4\n5 6\n",
       {2, 1, 1},
       -1,
       "FILE:5: the file ends inside record 2 (6 of 9 values read)"},
      {"cut short without a last line end",
       "h\nh\n1 2 3",
       {1, 1, 1},
       -1,
       "FILE:3: the file ends inside record 1 (3 of 9 values read)"},
      {"cut short before blank lines",
       "h\nh\n1 2 3\n4\n\n\n\n",
       {1, 1, 1},
       -1,
       "FILE:4: the file ends inside record 1 (4 of 9 values read)"},
      {"an endless line",
       "h\nh\n" + record + std::string(std::size_t{3} << 20, ' ') + record,
       {2, 1, 1},
       -1,
       "FILE:4: the line is longer than 1048576 bytes, more than any table needs"},
  };
  for (const read_case& c : cases) {
    for (const bool compressed : {false, true}) {
      temp_file file(compressed ? gzip_member(c.text) : c.text);
      const table_file table = open_table(file.name());
      record_table rows = allocate_record_table(c.counts);
      std::int64_t records = -1;
      const std::string message = failure_of([&] { records = read_table(table, rows); });
      // Read with its lines counted: the same outcome, and the count handed on once, also
      // where the read fails.
      record_table counted_rows = allocate_record_table(c.counts);
      std::vector<std::int64_t> counts;
      EXPECT_EQ(failure_of([&] {
                  read_counted_table(table, counted_rows, 2, [&](const line_count& lines) {
                    counts.push_back(lines.lines);
                  });
                }),
                message)
          << c.name << compressed;
      const auto line_ends = std::count(c.text.begin(), c.text.end(), '\n');
      const std::int64_t lines = line_ends + (c.text.empty() || c.text.back() == '\n' ? 0 : 1);
      EXPECT_EQ(counts, std::vector<std::int64_t>{lines}) << c.name << compressed;
      if (c.records >= 0) {
        EXPECT_EQ(message, "(no failure)") << c.name << compressed;
        EXPECT_EQ(records, c.records) << c.name << compressed;
      } else {
        std::string expected = c.message;
        expected.replace(expected.find("FILE"), 4, file.name());
        EXPECT_EQ(message, expected) << c.name << compressed;
      }
    }
  }
  // Compressed data cut short cannot be counted: no count is handed on, and the damage is
  // what fails.
  const std::string whole = gzip_member("h\nh\n" + record + record);
  const temp_file cut(whole.substr(0, whole.size() - 4));
  record_table rows = allocate_record_table({2, 1, 1});
  bool counted = false;
  EXPECT_EQ(failure_of([&] {
              read_counted_table(open_table(cut.name()), rows, 2,
                                 [&](const line_count&) { counted = true; });
            }),
            "cannot read \"" + cut.name() +
                "\": the compressed data are damaged (unexpected end of file)");
  EXPECT_FALSE(counted);
}

TEST(TableReader, StoresRecordsInFileOrderAcrossBlocks) {
  // Long lines of blanks make records straddle the reader's block boundaries.
  std::string text = "h\nh\n";
  const int records = 300;
  for (int r = 1; r <= records; ++r) {
    text += std::string(static_cast<std::size_t>(r * 97 % 50000), ' ');
    for (int c = 1; c <= 9; ++c) text += std::to_string(r * 10 + c) + (c == 5 ? "\n" : " ");
    text += "\n";
  }
  for (const bool compressed : {false, true}) {
    temp_file file(compressed ? gzip_member(text) : text);
    record_table table = allocate_record_table({records, 1, 1});
    ASSERT_EQ(read_table(open_table(file.name()), table), records);
    for (int r = 1; r <= records; ++r) {
      for (int c = 4; c <= 9; ++c) {
        ASSERT_EQ(field_array(table, c - 4)[r - 1], r * 10 + c) << r << " " << c << compressed;
      }
    }
  }
}

// A table read in parts at once gives what one reading gives, whatever lies where a part
// starts: each part assumes that its first line starts a record, and the part before it must
// end exactly there for that to hold.
struct split_case {
  std::string name;
  std::string around_split;  // inserted before each line where a part starts
  std::string after_split;   // that line's replacement
  std::string failure;       // text that the failure both readings give names, or ""
};

TEST(TableReader, PartsReadAsOne) {
  constexpr int records = 120000;
  const std::vector<split_case> cases = {
      {"one record a line", "", "", ""},
      {"a blank line before each part", "\n", "", ""},
      {"a record over each part's start", "1 2 3 4 5\n", "6 7 8 9\n", ""},
      {"CR LF line ends at each start", "", "1 2 3 4 5 6 7 8 9\r\n", ""},
      {"a slash at each start", "", "1 2 3 /\n", ""},
      {"text after the values at each start", "", "1 2 3 4 5 6 7 8 9 and more text\n", ""},
      {"a line of text at each start", "", "no numbers here\n", "cannot read \"no\""},
      {"a bad value after each start", "", "1 2 3 4 5 6 7 8 1.2.3\n", "cannot read \"1.2.3\""},
  };
  for (const split_case& c : cases) {
    for (const int parts : {2, 3, 8}) {
      std::string text = "h\nh\n";
      line_count hint;
      for (int r = 1; r <= records; ++r) {
        if (r % (records / parts) == 1 && r > 1) {
          text += c.around_split;
          hint.part_starts.push_back(text.size());
          hint.lines_before_part.push_back(std::count(text.begin(), text.end(), '\n'));
          if (!c.after_split.empty()) {
            text += c.after_split;
            continue;
          }
        }
        text += std::to_string(r) + " 0 0 " + std::to_string(r * 2) + " 5 6 7 8 " +
                std::to_string(r % 7) + "\n";
      }
      hint.part_starts.insert(hint.part_starts.begin(), 0);
      hint.lines_before_part.insert(hint.lines_before_part.begin(), 0);
      hint.lines = std::count(text.begin(), text.end(), '\n');
      temp_file file(text);
      const table_file table = open_table(file.name());
      const grid_counts counts{records, 1, 1};
      std::array<record_table, 2> tables{allocate_record_table(counts),
                                         allocate_record_table(counts)};
      std::array<position_spread, 2> spreads{start_spread(counts), start_spread(counts)};
      std::array<std::string, 2> messages;
      std::array<std::int64_t, 2> read{};
      for (int n = 0; n < 2; ++n) {
        messages[n] = failure_of([&] {
          read[n] = read_table(table, tables[n], &spreads[n], nullptr, n == 1 ? &hint : nullptr);
        });
      }
      const std::string what = c.name + ", " + std::to_string(parts) + " parts";
      EXPECT_EQ(messages[1], messages[0]) << what;
      if (!c.failure.empty()) {
        EXPECT_NE(messages[0].find(c.failure), std::string::npos) << what << ": " << messages[0];
        continue;
      }
      EXPECT_EQ(messages[0], "(no failure)") << what;
      EXPECT_EQ(read[1], read[0]) << what;
      EXPECT_TRUE(std::equal(field_array(tables[0], 0), field_array(tables[0], field_values),
                             field_array(tables[1], 0)))
          << what;
      for (int a = 0; a < 3; ++a) {
        const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
        EXPECT_TRUE(std::equal(spreads[0].axes[a].low.begin(), spreads[0].axes[a].low.end(),
                               spreads[1].axes[a].low.begin(), same))
            << what;
      }
    }
  }
}

// A stream copied while it is counted now and then: counts of a copy that ends inside a
// record prove nothing, a stream of the grid's records passes whole, and one that never
// ends is stopped soon after it holds more records than the grid has knots.
TEST(PipedTable, CopiedWholeOrStoppedWhenTooLong) {
  struct stream_case {
    std::int64_t records;  // -1: the producer goes on until the copy stops reading
    std::int64_t most;
    bool refused;
  };
  const std::vector<stream_case> cases = {
      {5000, 5000, false}, {20000, 1000, true}, {-1, 1000, true}, {3, 1000, false}};
  const std::string record = "0.125 -1.5 3 4 5 6 7 8 9.25\n";
  for (const stream_case& c : cases) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    std::int64_t sent = 0;
    std::thread producer([&] {
      const std::string header = "h\nh\n";
      bool open = ::send(ends[1], header.data(), header.size(), MSG_NOSIGNAL) > 0;
      for (std::int64_t r = 0; open && (c.records < 0 || r < c.records); ++r) {
        open = ::send(ends[1], record.data(), record.size(), MSG_NOSIGNAL) > 0;
        sent += open ? 1 : 0;
        if (sent > 10000000) break;  // a copy that never stops: the test fails below
      }
      ::shutdown(ends[1], SHUT_WR);
    });
    std::string refusal;
    std::int64_t copied_records = -1;
    try {
      const table_file table = copy_piped_table(ends[0], c.most, 4096);
      copied_records = for_each_record(table, c.most + 1, [](const record_view&) { return true; });
    } catch (const failure& f) {
      refusal = failure_text(f, name_charset::ascii);
    }
    ::close(ends[0]);
    producer.join();
    ::close(ends[1]);
    if (c.refused) {
      EXPECT_EQ(refusal, "\"standard input\" holds more records than the grid has knots (" +
                             std::to_string(c.most) + "); check Nx, Ny and Nz");
      EXPECT_LT(sent, 20 * c.most + 100000) << c.records;
    } else {
      EXPECT_EQ(refusal, "") << c.records;
      EXPECT_EQ(copied_records, c.records);
    }
  }
}

// The counts of the copy read it while it grows: the copy must stay the stream's bytes
// however far a count has read. A compressed stream whose second record is bad stops each
// count early, where the reading of the compressed file has got to.
TEST(PipedTable, CountsLeaveTheCopyWhole) {
  std::mt19937 random(5);
  std::string text = "h\nh\n0 0 0 1 1 1 1 1 1\n0 0 1 bad 1 1 1 1 1\n";
  char record[160];
  while (text.size() < (std::size_t{3} << 20)) {
    std::snprintf(record, sizeof record, "%15.7e %15.7e %15.7e %15.7e %15.7e %15.7e\n",
                  random() * 1e-9, random() * 1e-9, random() * 1e-9, random() * 1e-9,
                  random() * 1e-9, random() * 1e-9);
    text += record;
  }
  const std::string stream = gzip_member(text);
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  std::thread producer([&] {
    for (std::size_t at = 0; at < stream.size();) {
      const ssize_t sent = ::send(ends[1], stream.data() + at,
                                  std::min<std::size_t>(stream.size() - at, 65536), MSG_NOSIGNAL);
      if (sent <= 0) break;
      at += static_cast<std::size_t>(sent);
    }
    ::shutdown(ends[1], SHUT_WR);
  });
  const table_file table = copy_piped_table(ends[0], 1000000000, 4096);
  producer.join();
  ::close(ends[0]);
  ::close(ends[1]);
  std::string copy(stream.size() + 1, '\0');
  ASSERT_EQ(::pread(table.file.fd, copy.data(), copy.size(), 0),
            static_cast<ssize_t>(stream.size()));
  copy.resize(stream.size());
  EXPECT_TRUE(copy == stream);
  EXPECT_EQ(
      failure_of([&] { for_each_record(table, 10, [](const record_view&) { return true; }); }),
      "standard input:4: cannot read \"bad\" as a number (value 4 of record 2)");
}

// A stream is copied as far as a table of its counts' records can reach, and not a line or a
// byte further, in whatever blocks it comes; a line is of values where it starts with a number.
TEST(StreamBounds, StopAtWhatTheRecordsCanHold) {
  const std::string header = "h\nh\n";
  const auto lines = [](std::size_t count, const std::string& line) {
    std::string text;
    for (std::size_t n = 0; n < count; ++n) text += line;
    return text;
  };
  const std::string other =
      "cannot read standard input: 1001 of its lines are blank or text and 0 hold values, more "
      "than a table has";
  const std::string values =
      "cannot read standard input: more than 1018 of its lines hold "
      "values, more than a table of 2 records has";
  const std::string bytes =
      "cannot read standard input: more than 6291456 bytes, more than a "
      "table of 2 records has";
  const std::string long_line =
      "standard input:3: the line is longer than 1048576 bytes, more than any table needs";
  const std::string wide_values = std::string(1000000, '1') + "\n";
  const struct {
    std::string text;
    std::string refusal;
  } cases[] = {
      {header + lines(998, "\n"), ""},
      {header + lines(999, "\n"), other},
      {header + lines(998, " \t\r\n"), ""},
      {header + lines(999, " x\n"), other},
      {header + lines(1018, " 1 2 3 4 5 6 7 8 9\n"), ""},
      {header + lines(1018, " 1 2 3 4 5 6 7 8 9\n\n") + lines(998, "\n"), ""},
      {header + lines(1018, " 1 2 3 4 5 6 7 8 9\n\n") + lines(999, "\n"),
       "cannot read standard input: 2019 of its lines are blank or text and 1018 hold values, "
       "more than a table has"},
      {header + lines(1019, "  -1 2 3\n"), values},
      {header + lines(1019, ".5\n"), values},
      {header + std::string(1048576, '1') + "\n", ""},
      {header + std::string(1048577, '1'), long_line},
      {header + std::string(1048577, ' '), long_line},
      {header + lines(6, wide_values), ""},
      {header + lines(7, wide_values), bytes},
  };
  for (const auto& c : cases) {
    for (const std::size_t block : {std::size_t{3}, std::size_t{65536}, c.text.size()}) {
      const stream_bounds bounds = bounds_for_records(2);
      stream_scan scan;
      std::string refusal;
      for (std::size_t at = 0; at < c.text.size() && refusal.empty(); at += block) {
        refusal = text_of(scan_plain_block(scan, bounds, piped_table_name, c.text.data() + at,
                                           std::min(block, c.text.size() - at)));
      }
      EXPECT_EQ(refusal, c.refusal) << c.text.substr(0, 40) << " in blocks of " << block;
    }
  }
  // A compressed stream: its bytes, and its text as a plain stream's, however its members
  // and blocks fall; where the data are damaged or followed by other bytes, its bytes alone.
  const stream_bounds bounds = bounds_for_records(2);
  stream_scan scan;
  EXPECT_EQ(text_of(scan_block_bytes(scan, bounds, 6291456)), "");
  EXPECT_EQ(text_of(scan_block_bytes(scan, bounds, 1)), bytes);
  const std::string blank_lines = gzip_member(header + lines(999, "\n"));
  const struct {
    std::string stream;
    std::string refusal;
  } compressed[] = {
      {gzip_member(header + lines(998, "\n")), ""},
      {blank_lines, other},
      {gzip_member(header + lines(500, "\n")) + gzip_member(lines(499, "\n")), other},
      {gzip_member(header + lines(1019, "1 2 3\n"), 1), values},
      {gzip_member(header + lines(1019, "1 2 3\n")) + std::string(100, '\0'), values},
      {gzip_member(header) + std::string(100, '\0') + blank_lines, ""},
      {flipped(blank_lines, 10, 0x06), ""},
  };
  for (const auto& c : compressed) {
    for (const std::size_t block : {std::size_t{1}, std::size_t{7}, c.stream.size()}) {
      inflated_scan inflated;
      std::string refusal;
      for (std::size_t at = 0; at < c.stream.size() && refusal.empty(); at += block) {
        refusal =
            text_of(scan_inflated_block(inflated, bounds, piped_table_name, c.stream.data() + at,
                                        std::min(block, c.stream.size() - at)));
      }
      EXPECT_EQ(refusal, c.refusal) << c.stream.size() << " bytes in blocks of " << block;
    }
  }
  // Auto counts and --inspect: the most lines a table may have.
  EXPECT_EQ(bounds_for_records(max_knots).most_lines, std::uint64_t{2147483647});
}

// The copy leaves its file system 256 MB, or a sixteenth of a small one.
TEST(DiskReserve, LeftFreeWhateverTheCopyTakes) {
  constexpr std::uint64_t mb = std::uint64_t{1} << 20;
  const struct {
    disk_room room;
    std::uint64_t more;
    bool leaves;
  } cases[] = {
      {{100000 * mb, 1000 * mb}, 1 * mb, true},
      {{100000 * mb, 257 * mb}, 1 * mb, true},
      {{100000 * mb, 256 * mb}, 1 * mb, false},
      {{100000 * mb, 256 * mb + 65536}, 65536, true},
      {{64 * mb, 5 * mb}, 1 * mb, true},
      {{64 * mb, 4 * mb}, 1, false},
      {{64 * mb, 0}, 0, false},
      {{0, 0}, 0, true},
      {{100000 * mb, 10 * mb}, 100 * mb, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(leaves_reserve(c.room, c.more), c.leaves)
        << c.room.size << " " << c.room.free << " " << c.more;
  }
  EXPECT_EQ(reserve_text(disk_reserve(100000 * mb)), "256 MB");
  EXPECT_EQ(reserve_text(disk_reserve(64 * mb)), "4 MB");
  EXPECT_EQ(reserve_text(disk_reserve(8 * mb)), "524288 bytes");
}

// Whole lines only, whatever the length of a line: a plain table's block grows for a line
// longer than itself; a line of a compressed table's text may run over several of the
// inflating thread's blocks.
TEST(LineBlocks, HandOutWholeLines) {
  const std::string long_line(100000, '7');
  const std::string longer_line(900000, '8');
  for (const std::string& text :
       {"a\n" + long_line + "\nb", "a\r\n" + longer_line + "\n" + longer_line + "\n\nb\n"}) {
    for (const bool compressed : {false, true}) {
      temp_file file(compressed ? gzip_member(text) : text);
      const table_file table = open_table(file.name());
      line_blocks blocks = open_line_blocks(read_text(table), 4096);
      text_cursor cursor{nullptr, nullptr, 1};
      std::string seen;
      while (next_lines(blocks, cursor)) {
        const auto size = static_cast<std::size_t>(cursor.end - cursor.pos);
        ASSERT_TRUE(cursor.end[-1] == '\n' || seen.size() + size == text.size());
        seen.append(cursor.pos, cursor.end);
        cursor.pos = cursor.end;
      }
      EXPECT_EQ(seen, text) << compressed;
    }
  }
}

}  // namespace
}  // namespace vort
