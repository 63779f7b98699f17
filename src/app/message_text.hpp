// The small pieces every message is made of: names in quotes, offending items shown safely,
// counts with their nouns, numbers as a user types them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vort {

// Whether names are shown in UTF-8: where the terminal's locale has that codeset. Set once
// at the top (main) and passed down to every message that shows a name.
enum class name_charset { ascii, utf8 };

// The item as it may appear inside a one-line message: long texts cut after 40 characters,
// and escaped as \xhh: control bytes, quotes and backslashes, and every byte outside ASCII,
// or where names are shown in UTF-8, only the bytes of no valid character.
std::string printable_item(std::string_view text, name_charset charset);

// `name` in quotes, shown as `printable_item` shows it: file names can hold blanks.
std::string in_quotes(std::string_view name, name_charset charset);

// "1 knot", "2 knots": a count and its noun, for messages.
std::string counted(std::int64_t count, std::string_view noun);

// A number as messages show it: the shortest text that reads back as the same value (of
// single precision for a float: what a user types), or, with `significant` digits, rounded to
// them for a summary ("1.54e+03").
std::string number_text(double value, int significant = 0);
std::string number_text(float value);

}  // namespace vort
