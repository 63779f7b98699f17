// UTF-8 as names in messages and in JSON show it: which bytes make one whole, valid
// character, so that a name can be shown as it is and only the rest escaped.
#pragma once

#include <cstddef>
#include <string_view>

namespace vort {

// The length (1 to 4) of the valid UTF-8 sequence that starts `text`, or 0 where `text` is
// empty or starts with a byte that begins none: a stray continuation byte, an overlong form,
// a surrogate, a code point beyond U+10FFFF, a sequence cut short.
std::size_t utf8_sequence_length(std::string_view text);

// The code point of a valid sequence of that length.
char32_t utf8_code_point(std::string_view sequence);

// C0 and C1 controls and DEL: characters a terminal may act on instead of showing.
inline bool is_control(char32_t c) {
  return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

}  // namespace vort
