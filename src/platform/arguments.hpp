// The program's arguments as UTF-8, whatever the system hands to main.
#pragma once

#include <string>
#include <vector>

namespace vort {

// The arguments after the program's name. POSIX passes them as bytes, which are the names
// as the file system has them; Windows passes main a translation into its ANSI code page,
// which loses what that page lacks, so they are read again as the wide command line.
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace vort
