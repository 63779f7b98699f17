// The message of the failure a step throws, or "(no failure)".
#pragma once

#include <functional>
#include <string>

#include "common/failure.hpp"

namespace vort {

inline std::string failure_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const failure& f) {
    return f.message;
  }
  return "(no failure)";
}

}  // namespace vort
