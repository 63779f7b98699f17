#include "platform/arguments.hpp"

namespace vort {

std::vector<std::string> program_arguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace vort
