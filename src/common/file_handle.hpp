// An open C stream that closes itself. Callers that must report a failed close (the output
// files) release the handle and close it themselves.
#pragma once

#include <cstdio>
#include <memory>

namespace vort {

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

}  // namespace vort
