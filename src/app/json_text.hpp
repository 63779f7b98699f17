// Texts for JSON documents, written by hand: a handful of keys needs no library, only
// strings escaped as the format requires.
#pragma once

#include <string>
#include <string_view>

namespace vort {

// `text` as a JSON string, quotes included: quotes, backslashes and control characters
// escaped, valid UTF-8 kept as it is, and each byte that starts no valid UTF-8 character
// replaced by U+FFFD (a JSON text is Unicode; a file name need not be).
std::string json_string(std::string_view text);

}  // namespace vort
