#include "common/failure.hpp"

#include <charconv>
#include <cstdio>

namespace vort {

std::string in_quotes(const std::string& name) {
  return '"' + printable_item(name) + '"';
}

std::string printable_item(std::string_view text) {
  constexpr std::size_t shown = 40;
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      static constexpr char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  if (text.size() > shown) out += "...";
  return out;
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
