// A file in the system's temporary directory holding a given text, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vort {

struct temp_file {
  std::filesystem::path path;
  explicit temp_file(const std::string& text) {
    // A random number per process: test processes run side by side. Short, so that a
    // message names the whole path (Windows' temporary directory is long already).
    static const unsigned process = std::random_device{}() % 1000000;
    static int serial = 0;
    path = std::filesystem::temp_directory_path() /
           ("v2p-" + std::to_string(process) + "-" + std::to_string(serial++));
    std::ofstream(path, std::ios::binary) << text;
  }
  ~temp_file() { std::filesystem::remove(path); }
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
  std::string name() const { return path.string(); }
};

}  // namespace vort
