// The console dialogue: the mesh data (nine free-form numbers, possibly over several lines),
// the mirror answer (the first character of the next line) and its echo.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "app/message_text.hpp"
#include "input/mesh_data.hpp"
#include "input/symmetry.hpp"

namespace vort {

struct console_input {
  std::istream* in;
  std::int64_t line = 0;  // lines read so far
  std::string text;       // the last line read, with its line end
};

// Reads the next line of standard input; false at its end. Throws `failure` when standard
// input cannot be read (a directory, an I/O error).
bool next_console_line(console_input& console);

// Asks for xmin, ymin, zmin, xmax, ymax, zmax, dx, dy, dz; values left out are zero.
mesh_data ask_mesh_data(std::ostream& out, console_input& console, name_charset charset);

// The nine values of the mesh answer given as an option's text, read as the typed answer
// is (a slash ends it early, values left out are zero), but never more than nine. Throws
// `failure` naming --mesh.
mesh_data parse_mesh_option(std::string_view text, name_charset charset);

// Asks for the mirror and returns the answer's first character (a blank for an empty line).
char ask_mirror(std::ostream& out, console_input& console);

// The planes of a mirror answer: `Y` is a magnetic wall on the YZ plane, `X` one on the XZ
// plane. Case-sensitive: `y`, `x`, `F` and anything else select none.
symmetry_list planes_of_answer(char mirror);

// "full cavity, no mirrors", "YZ magnetic mirror", "XZ magnetic mirror" or "error!".
void echo_mirror(std::ostream& out, char mirror);

// Whether the answer's first character is one of the choices (its echo is not "error!").
bool mirror_answered(char mirror);

// The warning for an answer line that is none of the choices (`answer` without its line end):
// the map is written without a mirror, which is seldom what was meant.
std::string unanswered_mirror_warning(std::string_view answer, name_charset charset);

// "a magnetic wall", "an electric wall".
std::string a_wall(wall_kind wall);

// "YZ magnetic mirror", "XY electric mirror": a plane as the echo names it.
std::string mirror_text(int normal, wall_kind wall);

// A --symmetry list in the same style, one line per plane.
void echo_symmetry(std::ostream& out, const symmetry_list& list);

}  // namespace vort
