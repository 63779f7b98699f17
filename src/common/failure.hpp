// The one way a step of a conversion stops the run: a message for the user's one line on
// standard error. Inner loops return statuses; only the steps that own a file or an
// allocation turn them into a `failure`, and only the program's edge prints it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vort {

struct failure {
  std::string message;
};

// `name` in quotes, for messages: file names can hold blanks.
std::string in_quotes(const std::string& name);

// The message of a file that cannot be read: `cannot read "name": cause`.
std::string cannot_read(const std::string& name, const std::string& cause);

// The item as it may appear inside a one-line message: long texts cut after 40 characters,
// and escaped as \xhh: control bytes, quotes and backslashes, and every byte outside ASCII,
// or where names are shown in UTF-8, only the bytes of no valid character.
std::string printable_item(std::string_view text);

// Whether names are shown in UTF-8: where the terminal's locale has that codeset.
void show_names_in_utf8(bool utf8);

// "1 knot", "2 knots": a count and its noun, for messages.
std::string counted(std::int64_t count, std::string_view noun);

// A number as messages show it: the shortest text that reads back as the same value (of
// single precision for a float: what a user types), or, with `significant` digits, rounded to
// them for a summary ("1.54e+03").
std::string number_text(double value, int significant = 0);
std::string number_text(float value);

}  // namespace vort
