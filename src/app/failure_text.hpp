// Every line that a failure of a lower layer, or a notice it leaves, puts before the user:
// the codes of common/failure worded, with their facts, in one place.
#pragma once

#include <string>

#include "app/message_text.hpp"
#include "common/failure.hpp"

namespace vort {

// The only message for memory that cannot be had.
inline constexpr const char* allocation_message = "Allocation would exceed memory limit";

// The one line on standard error, e.g. `cannot create "out/3D_Re-x.bx": Permission denied`,
// followed by what the failed step left ("; the earlier ... is kept as ...").
std::string failure_text(const failure& f, name_charset charset);

// A notice alone, as a warning gives it.
std::string notice_text(const notice& n, name_charset charset);

}  // namespace vort
