// The one way a step of a conversion stops the run: a message for the user's one line on
// standard error. Inner loops return statuses; only the steps that own a file or an
// allocation turn them into a `failure`, and only the program's edge prints it.
#pragma once

#include <string>

namespace vort {

struct failure {
  std::string message;
};

// `name` in quotes, for messages: file names can hold blanks.
std::string in_quotes(const std::string& name);

}  // namespace vort
