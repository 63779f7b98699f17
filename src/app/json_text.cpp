#include "app/json_text.hpp"

#include <cstdio>

#include "common/utf8.hpp"

namespace vort {

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8_sequence_length(text.substr(at));
    if (length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    const std::string_view character = text.substr(at, length);
    const char32_t code = utf8_code_point(character);
    at += length;
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code == '\n') {
      out += "\\n";
    } else if (code == '\t') {
      out += "\\t";
    } else if (is_control(code)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
      out += escaped;
    } else {
      out += character;
    }
  }
  return out + '"';
}

}  // namespace vort
