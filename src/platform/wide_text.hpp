// Text as the program keeps it (UTF-8) and as Windows' wide calls take it (UTF-16).
#pragma once

#include <string>
#include <string_view>

namespace vort {

// UTF-16 of a UTF-8 text; a byte that is not UTF-8 becomes U+FFFD, as the system would read it.
std::wstring wide_from_utf8(std::string_view text);

// UTF-8 of a UTF-16 text; a lone surrogate becomes U+FFFD.
std::string utf8_from_wide(std::wstring_view text);

}  // namespace vort
