#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "failure_of.hpp"
#include "input/grid_check.hpp"
#include "input/line_blocks.hpp"
#include "input/line_counter.hpp"
#include "input/mesh.hpp"
#include "input/record_table.hpp"
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
    temp_file file(text);
    EXPECT_EQ(files_analysis::file_record(file.name()), lines) << text.substr(0, 20);
  }
  EXPECT_EQ(failure_of([] { files_analysis::file_record("/no/such/table.txt"); }),
            "cannot open \"/no/such/table.txt\": No such file or directory");
  EXPECT_EQ(failure_of([] { files_analysis::file_record("/tmp"); }),
            "cannot read \"/tmp\": it is a directory");
}

TEST(Axes, CoordinatesAreRoundedOncePerOperation) {
  EXPECT_EQ(mesh::knot_coordinate(10, -0.01f, 0.001f), std::ldexp(1.0f, -30));
  const float plus_zero = mesh::knot_coordinate(0, -0.0f, 0.5f);
  EXPECT_EQ(plus_zero, 0.0f);
  EXPECT_FALSE(std::signbit(plus_zero));
}

TEST(Axes, CountsAndOrderPerMirrorMode) {
  const mesh::mesh_data mesh{0, -1, 2, 99, 99, 99, 0.5f, 1, -0.25f};
  struct axes_case {
    grid_counts counts;
    mirror_mode mode;
    std::vector<float> x, y, z;
  };
  const std::vector<axes_case> cases = {
      {{3, 2, 1}, mirror_mode::yz, {5, 0, 0.5f, 1, 1.5f, 2}, {2, -1, 0}, {1, 2}},
      {{2, 2, 3}, mirror_mode::xz, {2, 0, 0.5f}, {3, -1, 0, 1}, {3, 2, 1.75f, 1.5f}},
      {{1, 1, 1}, mirror_mode::yz, {1, 0}, {1, -1}, {1, 2}},
      {{2, 2, 1}, mirror_mode::none, {2, 0, 0.5f}, {2, -1, 0}, {1, 2}},
  };
  for (const axes_case& c : cases) {
    const mesh::axes axes = mesh::build_axes(c.counts, mesh, c.mode);
    EXPECT_EQ(axes.xcoo, c.x);
    EXPECT_EQ(axes.ycoo, c.y);
    EXPECT_EQ(axes.zcoo, c.z);
  }
  EXPECT_EQ(mesh::build_axes({9999, 1, 1}, mesh, mirror_mode::yz).xcoo[0], 19997.0f);
  // Coordinates that overflow single precision are refused, naming the axis and the knot.
  const mesh::mesh_data huge{0, 0, -3e38f, 0, 0, 0, 1, 1, -2e38f};
  EXPECT_EQ(failure_of([&] {
              mesh::build_axes({1, 1, 3}, huge, mirror_mode::none);
            }),
            "the mesh data put knot 2 of the z axis at -5e+38, beyond single precision");
}

TEST(RecordTable, PlaneIndexAndKnotRows) {
  const record_table table = allocate_record_table({3, 2, 4});
  EXPECT_EQ(table.rows, 24);
  EXPECT_EQ(table.plane_start, (std::vector<std::int32_t>{1, 9, 17}));
  EXPECT_EQ(row_of(table, 2, 2, 3), 15);
  EXPECT_EQ(row_of(table, 3, 2, 4), 24);
  EXPECT_EQ(place_of(table, 2, 2, 3), 16);  // x fastest: ((3 - 1) * 2 + (2 - 1)) * 3 + (2 - 1)
  EXPECT_EQ(field_array(table, 5)[place_of(table, 3, 2, 4)], 0);  // knots are zero-filled
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
  EXPECT_EQ(bytes_needed({1000, 1000, 1000}, mirror_mode::none),
            std::uint64_t{1000} * 1000 * 1000 * 48 + 3003 * 4 + 1000 * 4);
  // The doubled axis of the largest count is sized without overflow.
  EXPECT_EQ(bytes_needed({2147483647, 1, 1}, mirror_mode::yz),
            (std::uint64_t{4294967293} + 1 + 1 + 3) * 4 + std::uint64_t{2147483647} * 4 +
                std::uint64_t{2147483647} * 48);
}

struct read_case {
  std::string name;
  std::string text;
  grid_counts counts;
  std::int32_t nrec_adjust;  // nrec = lines - 2 + adjust (a file that changed after counting)
  std::int64_t records;      // expected records read, or -1 for a failure
  std::string message;       // expected failure, with "FILE" for the file name
};

TEST(TableReader, ReadsUpToTheGridOrTheCount) {
  const std::string record = "1 2 3 4 5 6 7 8 9\n";
  const std::vector<read_case> cases = {
      {"R + 3 lines, empty last", "h\nh\n" + record + record + "\n", {2, 1, 1}, 0, 2, ""},
      {"R + 2 lines keeps the last record", "h\nh\n" + record + record, {2, 1, 1}, 0, 2, ""},
      {"one-knot table", "h\nh\n" + record, {1, 1, 1}, 0, 1, ""},
      {"non-numeric trailer", "h\nh\n" + record + record + "end of data\n", {2, 1, 1}, 0, 2, ""},
      {"slash trailer", "h\nh\n" + record + record + "/\n", {2, 1, 1}, 0, 2, ""},
      {"record ended by a slash", "h\nh\n1 2 3 /\n" + record, {2, 1, 1}, 0, 2, ""},
      {"empty lines between records", "h\nh\n" + record + "\n\n" + record, {2, 1, 1}, 0, 2, ""},
      {"fewer records than knots", "h\nh\n" + record, {2, 2, 1}, 0, 1, ""},
      {"only the header", "h\nh\n", {2, 1, 1}, 0, 0, ""},
      {"count limits the read", "h\nh\n" + record + record + record, {3, 1, 1}, -2, 1, ""},
      {"more records than knots",
       "h\nh\n" + record + record + record,
       {2, 1, 1},
       0,
       -1,
       "\"FILE\" holds more records than the grid has knots (2); check Nx, Ny and Nz"},
      {"one header line",
       "h\n",
       {1, 1, 1},
       0,
       -1,
       "\"FILE\" ends before its two header lines (it has 1 line)"},
      {"empty file",
       "",
       {1, 1, 1},
       0,
       -1,
       "\"FILE\" ends before its two header lines (it has 0 lines)"},
      {"bad value",
       "h\nh\n" + record + "1 2 3 1.2.3 5 6 7 8 9\n",
       {2, 1, 1},
       0,
       -1,
       "FILE:4: cannot read \"1.2.3\" as a number (value 4 of record 2)"},
      {"value too large",
       "h\nh\n1 2 3 4 5 6 7 8 1e400\n",
       {1, 1, 1},
       0,
       -1,
       "FILE:3: cannot read \"1e400\" as a number: it is too large for a double (value 9 of "
       "record 1)"},
      {"record cut short",
       "h\nh\n" + record + "1 2 3 4\n5 6\n",
       {2, 1, 1},
       0,
       -1,
       "FILE:5: the file ends inside record 2 (6 of 9 values read)"},
      {"cut short without a last line end",
       "h\nh\n1 2 3",
       {1, 1, 1},
       0,
       -1,
       "FILE:3: the file ends inside record 1 (3 of 9 values read)"},
      {"cut short before blank lines",
       "h\nh\n1 2 3\n4\n\n\n\n",
       {1, 1, 1},
       0,
       -1,
       "FILE:4: the file ends inside record 1 (4 of 9 values read)"},
  };
  for (const read_case& c : cases) {
    temp_file file(c.text);
    const std::int32_t nrec = files_analysis::file_record(file.name()) - 2 + c.nrec_adjust;
    record_table table = allocate_record_table(c.counts);
    std::int64_t records = -1;
    const std::string message = failure_of([&] { records = read_table(file.name(), nrec, table); });
    if (c.records >= 0) {
      EXPECT_EQ(message, "(no failure)") << c.name;
      EXPECT_EQ(records, c.records) << c.name;
    } else {
      std::string expected = c.message;
      expected.replace(expected.find("FILE"), 4, file.name());
      EXPECT_EQ(message, expected) << c.name;
    }
  }
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
  temp_file file(text);
  record_table table = allocate_record_table({records, 1, 1});
  ASSERT_EQ(read_table(file.name(), files_analysis::file_record(file.name()) - 2, table), records);
  for (int r = 1; r <= records; ++r) {
    for (int c = 4; c <= 9; ++c) {
      ASSERT_EQ(field_array(table, c - 4)[r - 1], r * 10 + c) << r << " " << c;
    }
  }
}

// A table read in two parts at once gives what one reading gives, whatever lies at the
// split: the second part assumes that its first line starts a record, and the first part
// must end exactly there for that to hold.
struct split_case {
  std::string name;
  std::string around_split;  // inserted before the line where the split falls
  std::string after_split;   // that line's replacement
  std::string message;       // the failure both readings give, or ""
};

TEST(TableReader, TwoPartsReadAsOne) {
  constexpr int records = 120000, split_record = 60001;
  const std::vector<split_case> cases = {
      {"one record a line", "", "", ""},
      {"a blank line before the split", "\n", "", ""},
      {"a record over the split", "1 2 3 4 5\n", "6 7 8 9\n", ""},
      {"a slash at the split", "", "1 2 3 /\n", ""},
      {"text after the values at the split", "", "1 2 3 4 5 6 7 8 9 and more text\n", ""},
      {"a line of text at the split", "", "no numbers here\n",
       "FILE:60003: cannot read \"no\" as a number (value 1 of record 60001)"},
      {"a bad value after the split", "", "1 2 3 4 5 6 7 8 1.2.3\n",
       "FILE:60003: cannot read \"1.2.3\" as a number (value 9 of record 60001)"},
  };
  for (const split_case& c : cases) {
    std::string text = "h\nh\n";
    std::uint64_t split = 0;
    std::int64_t lines_before = 0;
    for (int r = 1; r <= records; ++r) {
      if (r == split_record) {
        text += c.around_split;
        split = text.size();
        lines_before = std::count(text.begin(), text.end(), '\n');
        if (!c.after_split.empty()) {
          text += c.after_split;
          continue;
        }
      }
      text += std::to_string(r) + " 0 0 " + std::to_string(r * 2) + " 5 6 7 8 " +
              std::to_string(r % 7) + "\n";
    }
    temp_file file(text);
    const grid_counts counts{records, 1, 1};
    const files_analysis::line_count hint{std::count(text.begin(), text.end(), '\n'), split,
                                          lines_before};
    std::array<record_table, 2> tables{allocate_record_table(counts),
                                       allocate_record_table(counts)};
    std::array<position_spread, 2> spreads{start_spread(counts), start_spread(counts)};
    std::array<std::string, 2> messages;
    std::array<std::int64_t, 2> read{};
    for (int parts = 0; parts < 2; ++parts) {
      messages[parts] = failure_of([&] {
        read[parts] =
            read_table(file.name(), static_cast<std::int32_t>(hint.lines) - 2, tables[parts],
                       &spreads[parts], nullptr, parts == 1 ? &hint : nullptr);
      });
    }
    std::string expected = c.message.empty() ? "(no failure)" : c.message;
    if (!c.message.empty()) expected.replace(0, 4, file.name());
    EXPECT_EQ(messages[0], expected) << c.name;
    EXPECT_EQ(messages[1], expected) << c.name;
    if (!c.message.empty()) continue;
    EXPECT_EQ(read[1], read[0]) << c.name;
    EXPECT_TRUE(std::equal(field_array(tables[0], 0), field_array(tables[0], field_values),
                           field_array(tables[1], 0)))
        << c.name;
    for (int a = 0; a < 3; ++a) {
      const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
      EXPECT_TRUE(std::equal(spreads[0].axes[a].low.begin(), spreads[0].axes[a].low.end(),
                             spreads[1].axes[a].low.begin(), same))
          << c.name;
    }
  }
}

TEST(LineBlocks, GrowForALineLongerThanTheBlock) {
  const std::string long_line(100000, '7');
  temp_file file("a\n" + long_line + "\nb");
  line_blocks blocks = open_line_blocks(open_byte_source(file.name()), 4096);
  text_cursor cursor{nullptr, nullptr, 1};
  std::string seen;
  while (next_lines(blocks, cursor)) {
    seen.append(cursor.pos, cursor.end);
    cursor.pos = cursor.end;
  }
  EXPECT_EQ(seen, "a\n" + long_line + "\nb");
}

}  // namespace
}  // namespace vort
