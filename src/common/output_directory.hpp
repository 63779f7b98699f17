// The directory an output file goes into: it must exist and take new files before anything
// is asked or read, since the file is written there under a temporary name and renamed.
#pragma once

#include <string>

namespace vort {

// Throws `failure` "cannot create "name": the directory "out" does not exist" (or "... is
// not a directory", or the system's reason, e.g. "Permission denied") when the directory of
// `name` cannot take a new file.
void check_output_directory(const std::string& name);

}  // namespace vort
