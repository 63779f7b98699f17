#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/arguments.hpp"
#include "platform/wide_text.hpp"

namespace vort {

std::vector<std::string> program_arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int n = 1; n < count; ++n) arguments.push_back(utf8_from_wide(wide[n]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace vort
