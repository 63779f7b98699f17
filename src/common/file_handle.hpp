// Open files that close themselves: a C stream, or a descriptor. Callers that must report a
// failed close (the output files) release the handle and close it themselves.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

namespace vort {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

struct unique_fd {
  int fd = -1;

  unique_fd() = default;
  explicit unique_fd(int descriptor) : fd(descriptor) {}
  unique_fd(unique_fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    if (this != &other) {
      if (fd >= 0) ::close(fd);
      fd = std::exchange(other.fd, -1);
    }
    return *this;
  }
  ~unique_fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace vort
