// Open files as the system numbers them, and the process's standard streams. Calls that can
// fail report as the C library does: -1 (or a null pointer) with the cause in errno, which
// every implementation sets to the POSIX number that fits, so that callers word one set of
// causes.
#pragma once

#include <cstdio>

namespace vort {

using file_descriptor = int;
inline constexpr file_descriptor no_descriptor = -1;
inline constexpr file_descriptor standard_input = 0;
inline constexpr file_descriptor standard_error = 2;

// Closes `fd`: 0, or -1 with errno (the descriptor is gone either way).
int close_descriptor(file_descriptor fd);

// A second descriptor of the same open file, sharing its offset; -1 with errno.
file_descriptor duplicate_descriptor(file_descriptor fd);

// A C stream writing to `fd`, which it owns from then on (fclose closes it); null with errno.
std::FILE* stream_on_descriptor(file_descriptor fd, const char* mode);

// Gives each of the three standard descriptors that is closed (`<&-`, `>&-`) the null device,
// opened for reading only, so that the next file opened cannot take its number: the
// transcript would be written into it, or the answers read from it. Standard input then reads
// as ended, and a write to standard output fails (EBADF) and is reported as any failed write
// is. Best effort.
void occupy_closed_standard_descriptors();

}  // namespace vort
