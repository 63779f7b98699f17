// The message of the failure a step throws, or "(no failure)".
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/failure_text.hpp"
#include "common/failure.hpp"

namespace vort {

inline std::string failure_of(const std::function<void()>& step) {
  try {
    step();
  } catch (const failure& f) {
    return failure_text(f, name_charset::ascii);
  }
  return "(no failure)";
}

// The line of a refusal that a step returns, or "" for none.
inline std::string text_of(const std::optional<failure>& refusal) {
  return refusal ? failure_text(*refusal, name_charset::ascii) : "";
}

}  // namespace vort
