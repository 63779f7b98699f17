#include "app/message_text.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "common/utf8.hpp"
#include "platform/path_parts.hpp"

namespace vort {
namespace {

void escape_byte(std::string& out, unsigned char c) {
  static constexpr char hex[] = "0123456789abcdef";
  out += "\\x";
  out += hex[c >> 4];
  out += hex[c & 15];
}

}  // namespace

std::string printable_item(std::string_view text, name_charset charset) {
  constexpr std::size_t shown = 40;  // characters
  const bool utf8 = charset == name_charset::utf8;
  // Where '\\' separates directories, a path shows as typed.
  const bool backslash_shown = backslash_separates_directories();
  std::string out;
  std::size_t at = 0;
  for (std::size_t characters = 0; at < text.size() && characters < shown; ++characters) {
    const std::size_t length = utf8 ? utf8_sequence_length(text.substr(at)) : 1;
    const std::string_view character = text.substr(at, std::max<std::size_t>(length, 1));
    const char32_t code = length > 0 ? utf8_code_point(character) : 0;
    if (length > 0 && (length > 1 || code < 0x80) && !is_control(code) &&
        (code != '\\' || backslash_shown) && code != '"') {
      out += character;
    } else {
      for (const char c : character) escape_byte(out, static_cast<unsigned char>(c));
    }
    at += character.size();
  }
  if (at < text.size()) out += "...";
  return out;
}

std::string in_quotes(std::string_view name, name_charset charset) {
  return '"' + printable_item(name, charset) + '"';
}

std::string counted(std::int64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string number_text(double value, int significant) {
  char text[40];
  if (significant > 0) {
    std::snprintf(text, sizeof text, "%.*g", significant, value);
    return text;
  }
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string number_text(float value) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace vort
