// One run of the converter, from the command line to the closed field-map files, as a
// function: main() hands it the process's streams, tests and fuzzers their own.
#pragma once

#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_text.hpp"
#include "app/progress.hpp"

namespace vort {

struct run_result {
  int status = 0;
  std::vector<std::string> diagnostics;  // lines for standard error: warnings, the failure
};

// `args` without the program's own name. Nothing is created or replaced before the whole
// table has been read; a failure ends the run with status 1 and one diagnostic line. A
// progress display, when given, is fed with the counts of the reading and writing steps.
run_result run_converter(std::span<const std::string_view> args, std::istream& in,
                         std::ostream& out, progress_display* progress = nullptr,
                         name_charset charset = name_charset::ascii);

}  // namespace vort
