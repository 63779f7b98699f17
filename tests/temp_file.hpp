// A file in the system's temporary directory holding a given text, removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vort {

struct temp_file {
  std::filesystem::path path;
  explicit temp_file(const std::string& text) {
    static int serial = 0;
    path = std::filesystem::temp_directory_path() /
           ("vort2pelta-unit-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::ofstream(path, std::ios::binary) << text;
  }
  ~temp_file() { std::filesystem::remove(path); }
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
  std::string name() const { return path.string(); }
};

}  // namespace vort
