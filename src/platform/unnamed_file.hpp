// A temporary file for the program's own use that needs no removal, whatever ends the run.
#pragma once

#include <string>

#include "platform/descriptor.hpp"

namespace vort {

// Where the user wants temporary files: $TMPDIR, else /tmp; on Windows, the directory that
// TMP or TEMP names, else the user's own.
std::string temporary_directory();

// Creates a file open for reading and writing in `directory` that has no name (where the
// system can, one that never had one; else a private name removed at once): the descriptor,
// or -1 with errno.
file_descriptor unnamed_temporary(const char* directory);

// The system's own way to make a file without a name, or -1 where it has none (then
// `unnamed_temporary` names one and removes it).
file_descriptor file_without_name(const char* directory);

}  // namespace vort
