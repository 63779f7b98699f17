// The console the program runs in.
#pragma once

#include "platform/descriptor.hpp"

namespace vort {

// Whether `fd` is a terminal that a person reads or types at.
bool is_terminal(file_descriptor fd);

// Whether the character set of the locale in force (set with setlocale first) is UTF-8.
bool console_speaks_utf8();

// Whether the terminal `fd` acts on escape sequences (erasing a line, say), switching that on
// where the system can; without them a line is overwritten after a carriage return alone.
bool terminal_takes_escapes(file_descriptor fd);

}  // namespace vort
