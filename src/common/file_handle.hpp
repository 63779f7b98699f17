// Open files that close themselves: a C stream, or a descriptor. Callers that must report a
// failed close (the output files) release the handle and close it themselves.
#pragma once

#include <cstdio>
#include <memory>
#include <utility>

#include "platform/descriptor.hpp"

namespace vort {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

struct unique_fd {
  file_descriptor fd = no_descriptor;

  unique_fd() = default;
  explicit unique_fd(file_descriptor descriptor) : fd(descriptor) {}
  unique_fd(unique_fd&& other) noexcept : fd(std::exchange(other.fd, no_descriptor)) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    if (this != &other) {
      if (fd >= 0) close_descriptor(fd);
      fd = std::exchange(other.fd, no_descriptor);
    }
    return *this;
  }
  ~unique_fd() {
    if (fd >= 0) close_descriptor(fd);
  }
};

}  // namespace vort
