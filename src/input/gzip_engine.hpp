// The share of gzip_inflater that a library does: a member's header and its deflate data, up
// to and with its trailer. gzip_inflater.cpp reads the file, finds where each member starts
// and passes the padding after the last; gzip_inflater_isal.cpp or gzip_inflater_zlib.cpp,
// whichever the build chose, does the rest in the words of the same damages.
#pragma once

#include <cstddef>

#include "input/gzip_inflater.hpp"

namespace vort {

// The bytes consumed last, kept before those read ahead: a library that has consumed a
// member's trailer may read it back from there.
inline constexpr std::size_t gzip_kept_behind = 8;

// Done by the library.
std::unique_ptr<gzip_engine, gzip_engine_release> make_gzip_engine();
// Readies the engine for the member at the next byte, whose magic and flags are checked;
// the phase becomes `header`.
void start_member_engine(gzip_inflater& inflater);
// Reads the member's header; the phase becomes `data` at its end.
void read_member_header(gzip_inflater& inflater);
// Inflates into [out + done, out + room) and returns the new `done`; the phase becomes
// `member_start` after the member's trailer.
std::size_t inflate_member_data(gzip_inflater& inflater, char* out, std::size_t done,
                                std::size_t room);

// Done by gzip_inflater.cpp for the library: out of input in the middle of a member, reads on,
// or says the file is cut short.
void need_input(gzip_inflater& inflater);

}  // namespace vort
