// The process's standard streams as the converter takes them.
#pragma once

#include <streambuf>

#include "platform/descriptor.hpp"

namespace vort {

// A standard stream that the caller left closed (`<&-`, `>&-`) would go to the next file the
// converter opens: the transcript would be written into it, or the answers read from it. So
// each closed one is taken by /dev/null, opened for reading only: standard input reads as
// ended, and a write to standard output fails (EBADF) and is reported as any failed write is.
void occupy_closed_standard_streams();

// The bytes of a descriptor for an istream, read with read_waiting: a non-blocking standard
// input with nothing to read yet is waited for. A read that fails throws `failure`
// "cannot read standard input: <reason>", which an istream whose exceptions() include badbit
// passes on.
class waiting_input_buffer : public std::streambuf {
 public:
  explicit waiting_input_buffer(file_descriptor fd) : fd_(fd) {}

 protected:
  int_type underflow() override;

 private:
  file_descriptor fd_;
  char buffer_[4096];
};

}  // namespace vort
