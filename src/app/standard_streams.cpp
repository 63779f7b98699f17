#include "app/standard_streams.hpp"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/failure.hpp"
#include "platform/positional_io.hpp"

namespace vort {

waiting_input_buffer::int_type waiting_input_buffer::underflow() {
  const std::int64_t got = read_waiting(fd_, buffer_, sizeof buffer_);
  if (got < 0) throw failure{std::string("cannot read standard input: ") + std::strerror(errno)};
  if (got == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(buffer_[0]);
}

}  // namespace vort
