// Standard input as the converter reads it, a line at a time through an istream.
#pragma once

#include <streambuf>

#include "platform/descriptor.hpp"

namespace vort {

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
