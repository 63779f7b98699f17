// A path split where the system separates directories.
#pragma once

#include <cstddef>
#include <string>

namespace vort {

// Where the name of the file begins in `path`: after its last separator, 0 without one.
std::size_t name_start(const std::string& path);

// The directory part of `path`: "." for a name without one, the root for a file in it.
std::string directory_part(const std::string& path);

// Whether '\' separates directories here, as on Windows, where a name shows it as typed;
// elsewhere it is a byte of a name like any other.
bool backslash_separates_directories();

}  // namespace vort
