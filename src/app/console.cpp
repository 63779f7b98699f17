#include "app/console.hpp"

#include <cstdio>

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

}  // namespace vort
