// Free-form (list-directed) reading of numbers from a buffer of whole lines.
//
// Values are separated by blanks (space, tab), by a comma with optional blanks around it, or
// by line ends; a carriage return counts as a blank, so CR LF is a line end. A read that
// needs more values goes on over the following lines, passing over empty ones, and after
// its last value the rest of that line is thrown away. A slash ends a read early; two commas
// in a row, or a comma before the first value, leave a value out. A value left out keeps
// what the caller's array held.
//
// Nothing here (but the message for a bad item) allocates or throws: a read returns a status,
// and a failure carries the position and the text of the offending item. A read can stop at
// the end of a buffer (`need_more`) and be resumed over the next buffer with the same
// `list_read`, so the same code serves the console (one line at a time) and large blocks of a
// table file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vort {

struct text_cursor {
  const char* pos;
  const char* end;
  std::int64_t line;  // 1-based number of the line that holds `pos`
};

// A cursor over a whole text whose first line is number `line`.
inline text_cursor cursor_over(std::string_view text, std::int64_t line) {
  return {text.data(), text.data() + text.size(), line};
}

// Progress of one read of several values; survives a `need_more` return.
struct list_read {
  int next = 0;                 // index of the next value to fill
  bool after_comma = true;      // a comma seen now leaves a value out (so does one at the start)
  std::int64_t first_line = 0;  // the line of the first value read, 0 before it
  std::int64_t last_line = 0;   // the line of the last value read, 0 before the first
};

enum class read_status {
  complete,   // every value read or left out; the cursor is at the start of the next line
  slash,      // a slash ended the read; the cursor is at the start of the next line
  need_more,  // the buffer is used up; supply the next lines and call again
  bad_value,  // an item is not a value of the wanted kind; see `bad_item`
};

// The longest real item read. The exact decimal form of any double has at most 767
// significant digits, so with its sign, point and exponent it fits; no table comes near it.
inline constexpr std::size_t longest_real_item = 800;

enum class item_error {
  malformed,      // not a number of the wanted kind
  out_of_range,   // a real too large for a double, an integer outside 32 bits
  beyond_single,  // a real that rounds to infinity in single precision
  too_long,       // a real item longer than `longest_real_item`
};

struct bad_item {
  std::string_view text;
  std::int64_t line = 0;
  int value_index = 0;  // 0-based index of the value the item was meant for
  item_error error = item_error::malformed;
};

read_status read_reals(text_cursor& cursor, list_read& state, std::span<double> values,
                       bad_item* bad);
// Single-precision values, each rounded once, straight from its decimal text.
read_status read_singles(text_cursor& cursor, list_read& state, std::span<float> values,
                         bad_item* bad);
read_status read_integers(text_cursor& cursor, list_read& state, std::span<std::int32_t> values,
                          bad_item* bad);

// Moves the cursor past the next line end (or to the buffer's end when there is none).
void skip_rest_of_line(text_cursor& cursor);

// Single items, as the list reads use them: the whole of [first, last) must be the number.
// On failure `value` is left as it was and `error` says why.
bool parse_real(const char* first, const char* last, double& value, item_error& error);
bool parse_integer(const char* first, const char* last, std::int32_t& value, item_error& error);

}  // namespace vort
