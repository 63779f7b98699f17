// The directory an output file goes into: it must exist and take new files before anything
// is asked or read, since the file is written there under a temporary name and renamed.
#pragma once

#include <string>

namespace vort {

// Throws `failure` (the directory missing, not a directory, or the system's cause) when the
// directory of `name` cannot take a new file.
void check_output_directory(const std::string& name);

}  // namespace vort
