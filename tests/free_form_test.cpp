#include "input/free_form.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/message_text.hpp"
#include "common/failure.hpp"
#include "platform/path_parts.hpp"

namespace vort {
namespace {

// An item of exactly the longest length read: one half, written with a D exponent.
const std::string longest_item = "5." + std::string(longest_real_item - 5, '0') + "D-1";

struct reals_case {
  std::string text;
  int count;
  std::vector<double> expected;  // after the read; untouched values stay at -7
  read_status status;
  std::string rest;  // what the cursor points at afterwards
};

// Every read starts with the array filled with -7, so left-out values show.
std::vector<double> read_all(const std::string& text, int count, read_status& status,
                             std::string& rest, bad_item* bad = nullptr) {
  std::vector<double> values(static_cast<std::size_t>(count), -7.0);
  text_cursor cursor{text.data(), text.data() + text.size(), 1};
  list_read state;
  status = read_reals(cursor, state, values, bad);
  rest.assign(cursor.pos, cursor.end);
  return values;
}

TEST(FreeFormReader, AcceptsTheListForms) {
  const std::vector<reals_case> cases = {
      {"1 2 3\nnext", 3, {1, 2, 3}, read_status::complete, "next"},
      {"1,2,3\n", 3, {1, 2, 3}, read_status::complete, ""},
      {"1 , 2 ,3\n", 3, {1, 2, 3}, read_status::complete, ""},
      {"\t1\t2\t3\r\nnext", 3, {1, 2, 3}, read_status::complete, "next"},
      {"1 2\n\n   \n3 4 5\nnext", 3, {1, 2, 3}, read_status::complete, "next"},
      {"1,2,\n3\n", 3, {1, 2, 3}, read_status::complete, ""},
      {"5 5. .5 -0.005 +2\n", 5, {5, 5, 0.5, -0.005, 2}, read_status::complete, ""},
      {"1.5D-03 1.5d-03 1.5E-03 1.5e-03 1.5E+2 2e3\n",
       6,
       {0.0015, 0.0015, 0.0015, 0.0015, 150, 2000},
       read_status::complete,
       ""},
      {"1,,3\n", 3, {1, -7, 3}, read_status::complete, ""},
      {"1, ,3\n", 3, {1, -7, 3}, read_status::complete, ""},
      {",2,3\n", 3, {-7, 2, 3}, read_status::complete, ""},
      {"1 2/ 9 9\nnext", 4, {1, 2, -7, -7}, read_status::slash, "next"},
      {"1 2/9\nnext", 3, {1, 2, -7}, read_status::slash, "next"},
      {"/\n", 2, {-7, -7}, read_status::slash, ""},
      {"1 2", 3, {1, 2, -7}, read_status::need_more, ""},
      {"1 2 3 4 5 garbage\nnext", 3, {1, 2, 3}, read_status::complete, "next"},
      {"1e-400 -1e-400\n", 2, {0.0, -0.0}, read_status::complete, ""},
      {"4.9406564584124654e-324\n", 1, {4.9406564584124654e-324}, read_status::complete, ""},
      {"1.7976931348623157e308\n", 1, {1.7976931348623157e308}, read_status::complete, ""},
      // Far too small for a double however many digits show it, and the longest item read.
      {"0." + std::string(400, '0') + "1 -1" + std::string(400, '0') + "D-900\n",
       2,
       {0.0, -0.0},
       read_status::complete,
       ""},
      {longest_item + "\n", 1, {0.5}, read_status::complete, ""},
      {"1e0000005 -2.5D-0000003\n", 2, {1e5, -0.0025}, read_status::complete, ""},
  };
  for (const reals_case& c : cases) {
    read_status status{};
    std::string rest;
    const std::vector<double> values = read_all(c.text, c.count, status, rest);
    EXPECT_EQ(status, c.status) << c.text;
    EXPECT_EQ(rest, c.rest) << c.text;
    ASSERT_EQ(values.size(), c.expected.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(values[i], c.expected[i]) << c.text << " value " << i;
      EXPECT_EQ(std::signbit(values[i]), std::signbit(c.expected[i])) << c.text << " value " << i;
    }
  }
}

TEST(FreeFormReader, RefusesWhatIsNotANumber) {
  struct refused {
    std::string text;
    std::string item;
    std::int64_t line;
    int value_index;
    item_error error;
  };
  const std::vector<refused> cases = {
      {"1 1.2.3 4\n", "1.2.3", 1, 1, item_error::malformed},
      {"abc\n", "abc", 1, 0, item_error::malformed},
      {"1\n\n2 NaN\n", "NaN", 3, 2, item_error::malformed},
      {"Inf\n", "Inf", 1, 0, item_error::malformed},
      {"infinity\n", "infinity", 1, 0, item_error::malformed},
      {"3*1.5\n", "3*1.5", 1, 0, item_error::malformed},
      {"1.0+5\n", "1.0+5", 1, 0, item_error::malformed},
      {"0x1p3\n", "0x1p3", 1, 0, item_error::malformed},
      {"1e\n", "1e", 1, 0, item_error::malformed},
      {"+\n", "+", 1, 0, item_error::malformed},
      {".\n", ".", 1, 0, item_error::malformed},
      {"--1\n", "--1", 1, 0, item_error::malformed},
      {"1e400\n", "1e400", 1, 0, item_error::out_of_range},
      {"-1D400\n", "-1D400", 1, 0, item_error::out_of_range},
      {"1" + std::string(400, '0') + "\n", "1" + std::string(400, '0'), 1, 0,
       item_error::out_of_range},
      {"0" + longest_item + "\n", "0" + longest_item, 1, 0, item_error::too_long},
      {"1e" + std::string(longest_real_item, '0') + "5\n",
       "1e" + std::string(longest_real_item, '0') + "5", 1, 0, item_error::too_long},
      {std::string("1\0002\n", 4), std::string("1\0002", 3), 1, 0, item_error::malformed},
      // The bytes just below '0' and above '9' inside a run of digits after the point, where
      // eight are looked at together.
      {"0.1234567:8 1 2\n", "0.1234567:8", 1, 0, item_error::malformed},
      {"-1.25\x80"
       "00000 1 2\n",
       "-1.25\x80"
       "00000",
       1, 0, item_error::malformed},
  };
  for (const refused& c : cases) {
    read_status status{};
    std::string rest;
    bad_item bad;
    read_all(c.text, 3, status, rest, &bad);
    EXPECT_EQ(status, read_status::bad_value) << c.text;
    EXPECT_EQ(bad.text, c.item) << c.text;
    EXPECT_EQ(bad.line, c.line) << c.text;
    EXPECT_EQ(bad.value_index, c.value_index) << c.text;
    EXPECT_EQ(bad.error, c.error) << c.text;
  }
}

TEST(FreeFormReader, ReadsIntegersOnly) {
  struct integer_case {
    std::string text;
    bool ok;
    std::int32_t value;
    item_error error;
  };
  const std::vector<integer_case> cases = {
      {"41", true, 41, {}},
      {"  7", true, 7, {}},
      {"-5", true, -5, {}},
      {"+12", true, 12, {}},
      {"12,3", true, 12, {}},
      {"12/", true, 12, {}},
      {"2147483647", true, 2147483647, {}},
      {"-2147483648", true, -2147483647 - 1, {}},
      {"4.5", false, 0, item_error::malformed},
      {"1e3", false, 0, item_error::malformed},
      {"12a", false, 0, item_error::malformed},
      {"99999999999", false, 0, item_error::out_of_range},
      {"2147483648", false, 0, item_error::out_of_range},
  };
  for (const integer_case& c : cases) {
    std::array<std::int32_t, 1> value{0};
    text_cursor cursor{c.text.data(), c.text.data() + c.text.size(), 1};
    list_read state;
    bad_item bad;
    const read_status status = read_integers(cursor, state, value, &bad);
    if (c.ok) {
      EXPECT_EQ(status, read_status::complete) << c.text;
      EXPECT_EQ(value[0], c.value) << c.text;
    } else {
      EXPECT_EQ(status, read_status::bad_value) << c.text;
      EXPECT_EQ(bad.error, c.error) << c.text;
    }
  }
}

// A read interrupted at the end of a buffer goes on in the next one with its state: this is
// how the console feeds one line at a time and the table reader one block at a time.
TEST(FreeFormReader, ResumesOverTheNextBuffer) {
  const std::vector<std::string> pieces = {"1, 2,\n", ",\n", "\n", "4 5 6 7\n"};
  std::array<double, 5> values{};
  values.fill(-7);
  list_read state;
  read_status status = read_status::need_more;
  std::int64_t line = 1;
  for (const std::string& piece : pieces) {
    text_cursor cursor{piece.data(), piece.data() + piece.size(), line};
    status = read_reals(cursor, state, values, nullptr);
    line = cursor.line;
    if (status != read_status::need_more) break;
  }
  EXPECT_EQ(status, read_status::complete);
  EXPECT_EQ(values, (std::array<double, 5>{1, 2, -7, 4, 5}));
}

TEST(FreeFormReader, MakesItemsPrintable) {
  constexpr name_charset ascii = name_charset::ascii;
  EXPECT_EQ(printable_item("1.2.3", ascii), "1.2.3");
  EXPECT_EQ(printable_item(std::string("a\0b\"", 4), ascii), "a\\x00b\\x22");
  EXPECT_EQ(printable_item(std::string(100, '9'), ascii), std::string(40, '9') + "...");
}

// Where names are shown in UTF-8, valid characters stay as they are; controls (C1 ones
// too), quotes, backslashes (but where they separate directories) and every byte of no valid
// character are escaped either way.
TEST(FreeFormReader, ShowsUtf8NamesWhereTheLocaleDoes) {
  std::string accents;
  for (int n = 0; n < 41; ++n) accents += "\xc3\xa9";
  std::string escaped_accents;
  for (int n = 0; n < 20; ++n) escaped_accents += "\\xc3\\xa9";
  // A backslash separates directories on Windows, where a name shows it as typed.
  const std::string escaped_controls =
      std::string("a\\xc2\\x85\\x7f\\x22")
          .append(backslash_separates_directories() ? "\\" : "\\x5c");
  struct shown_case {
    std::string text, in_ascii, in_utf8;
  };
  const std::vector<shown_case> cases = {
      {"t\xc3\xa2"
       "ble \xe2\x82\xac \xf0\x9f\x98\x80",
       "t\\xc3\\xa2ble \\xe2\\x82\\xac \\xf0\\x9f\\x98\\x80",
       "t\xc3\xa2"
       "ble \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"a\xc2\x85\x7f\"\\", escaped_controls, escaped_controls},
      {"\xff\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80",
       "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80",
       "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},
      {"cut \xe2\x82", "cut \\xe2\\x82", "cut \\xe2\\x82"},
      {accents, escaped_accents + "...", accents.substr(0, 80) + "..."},
  };
  for (const shown_case& c : cases) {
    EXPECT_EQ(printable_item(c.text, name_charset::ascii), c.in_ascii) << c.in_ascii;
    EXPECT_EQ(printable_item(c.text, name_charset::utf8), c.in_utf8) << c.in_ascii;
  }
}

}  // namespace
}  // namespace vort

namespace vort {
namespace {

// Items of every shape the tables hold and many they don't (up to 25 digits, exponents far
// beyond the exact fast path, D exponents): the value must be strtod's (strtof's in single
// precision), correctly rounded.
TEST(FreeFormReader, RandomItemsReadAsStrtodReadsThem) {
  std::mt19937_64 random(314159);
  auto digits = [&](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  auto random_item = [&] {
    std::string item = (random() % 3 == 0) ? "-" : (random() % 5 == 0 ? "+" : "");
    const int before = static_cast<int>(random() % 12);
    const int after = static_cast<int>(random() % 14);
    item += digits(before);
    if (after > 0 || before == 0) item += "." + digits(after == 0 && before == 0 ? 1 : after);
    if (random() % 2 == 0) item += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
    return item;
  };
  // Items in lines, as a table holds them: each value ends at a blank, a comma, a tab or
  // the line end, wherever it falls in the buffer.
  const char* separators[] = {" ", ",", "\t", " , ", "   "};
  for (int n = 0; n < 20000; ++n) {
    std::string line;
    std::array<std::string, 9> items;
    for (std::string& item : items) {
      item = random_item();
      line += item + separators[random() % 5];
    }
    line += "\r\n";
    std::array<double, 9> values{};
    text_cursor cursor = cursor_over(line, 1);
    list_read state;
    ASSERT_EQ(read_reals(cursor, state, values, nullptr), read_status::complete) << line;
    for (std::size_t i = 0; i < items.size(); ++i) {
      ASSERT_EQ(values[i], std::strtod(items[i].c_str(), nullptr)) << line;
    }
  }
  for (int n = 0; n < 200000; ++n) {
    std::string item = (random() % 3 == 0) ? "-" : (random() % 5 == 0 ? "+" : "");
    const int before = static_cast<int>(random() % 12);
    const int after = static_cast<int>(random() % 14);
    item += digits(before);
    if (after > 0 || before == 0) item += "." + digits(after == 0 && before == 0 ? 1 : after);
    if (random() % 2 == 0) {
      item += "EeDd"[random() % 4];
      if (random() % 2 == 0) item += random() % 2 == 0 ? "-" : "+";
      item += std::to_string(random() % 40);
    }
    std::string reference = item;
    for (char& c : reference) {
      if (c == 'D' || c == 'd') c = 'E';
    }
    const double expected = std::strtod(reference.c_str(), nullptr);
    double value = 0;
    item_error error{};
    ASSERT_TRUE(parse_real(item.data(), item.data() + item.size(), value, error)) << item;
    ASSERT_EQ(value, expected) << item;
    ASSERT_EQ(std::signbit(value), std::signbit(expected)) << item;
    // Single precision: rounded once from the text, as strtof rounds it, or refused where
    // strtof overflows.
    const float expected_single = std::strtof(reference.c_str(), nullptr);
    std::array<float, 1> single{};
    text_cursor cursor = cursor_over(item, 1);
    list_read state;
    bad_item bad;
    const read_status status = read_singles(cursor, state, single, &bad);
    if (std::isinf(expected_single)) {
      ASSERT_EQ(status, read_status::bad_value) << item;
      ASSERT_EQ(bad.error, item_error::beyond_single) << item;
    } else {
      ASSERT_EQ(status, read_status::complete) << item;
      ASSERT_EQ(single[0], expected_single) << item;
      ASSERT_EQ(std::signbit(single[0]), std::signbit(expected_single)) << item;
    }
  }
}

}  // namespace
}  // namespace vort
