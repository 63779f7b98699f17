#include "app/console.hpp"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "common/failure.hpp"
#include "platform/terminal.hpp"

namespace vort {

void say(std::ostream& out, std::string_view text) {
  if (!text.empty()) out << ' ' << text;
  out << '\n';
}

std::string int_field(std::int64_t value) {
  char field[32];
  std::snprintf(field, sizeof field, " %11lld", static_cast<long long>(value));
  return field;
}

bool environment_speaks_utf8() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const bool utf8 = console_speaks_utf8();
  std::setlocale(LC_CTYPE, "C");
  return utf8;
}

void flush_console(std::ostream& out) {
  errno = 0;
  out.flush();
  if (!out) {
    throw failure{std::string("cannot write standard output: ") +
                  std::strerror(errno != 0 ? errno : EIO)};
  }
}

}  // namespace vort
