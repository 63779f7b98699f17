// Lines and values (blank-separated items) of a field-map file, for checks that a run wrote
// as many as its grid demands.
#pragma once

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

inline std::pair<long, long> lines_and_values(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> block(1 << 16);
  long lines = 0, values = 0;
  bool in_value = false;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      const char c = block[static_cast<std::size_t>(i)];
      if (c == '\n') ++lines;
      const bool blank = c == ' ' || c == '\n';
      if (!blank && !in_value) ++values;
      in_value = !blank;
    }
  }
  return {lines, values};
}
