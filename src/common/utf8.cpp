#include "common/utf8.hpp"

namespace vort {
namespace {

bool continuation(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                             : lead >= 0xe0 && lead <= 0xef ? 3
                             : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                            : 0;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t n = 1; n < length; ++n) {
    if (!continuation(static_cast<unsigned char>(text[n]))) return 0;
  }
  // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
  const auto second = static_cast<unsigned char>(text[1]);
  if (lead == 0xe0 && second < 0xa0) return 0;
  if (lead == 0xed && second > 0x9f) return 0;
  if (lead == 0xf0 && second < 0x90) return 0;
  if (lead == 0xf4 && second > 0x8f) return 0;
  return length;
}

char32_t utf8_code_point(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) return lead;
  char32_t code = lead & (0x7f >> sequence.size());
  for (std::size_t n = 1; n < sequence.size(); ++n) {
    code = (code << 6) | (static_cast<unsigned char>(sequence[n]) & 0x3f);
  }
  return code;
}

}  // namespace vort
