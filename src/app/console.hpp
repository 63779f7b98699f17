// Console lines: every line with text begins with one blank; a 32-bit integer stands
// right-aligned in 11 characters, after one separating blank.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace vort {

// What starts every line the converter writes on standard error.
inline constexpr std::string_view program_prefix = "VORT2Pelta: ";

// A line for standard error: the prefix, then the text.
inline std::string error_line(std::string_view text) {
  return std::string(program_prefix) + std::string(text);
}

// A warning's line for standard error.
inline std::string warning_line(std::string_view text) {
  return error_line("warning: " + std::string(text));
}

// " " + text + newline, or an empty line for an empty text.
void say(std::ostream& out, std::string_view text);

// The integer's field as it follows a text item: one blank, then 11 characters.
std::string int_field(std::int64_t value);

// Whether the locale that the environment chooses (LC_ALL, LC_CTYPE, LANG) has the codeset
// UTF-8. The process's own locale stays "C": numbers are read and written alike everywhere.
bool environment_speaks_utf8();

// Writes out what the console holds. A write that fails (a full disk, a pipe whose reader
// has gone) ends the run where it is noticed: throws `failure`
// "cannot write standard output: <reason>".
void flush_console(std::ostream& out);

}  // namespace vort
