// Where the system cannot make a file without a name.
#include "platform/unnamed_file.hpp"

namespace vort {

file_descriptor file_without_name(const char*) {
  return no_descriptor;
}

}  // namespace vort
