#include "app/dialogue.hpp"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/console.hpp"
#include "common/failure.hpp"
#include "input/free_form.hpp"

namespace vort {
namespace {

constexpr int mesh_values = 9;

[[noreturn]] void refuse_mesh_value(const bad_item& bad) {
  const std::string reason =
      bad.error == item_error::out_of_range ? ": it is too large for a double" : "";
  throw failure{"standard input:" + std::to_string(bad.line) + ": cannot read \"" +
                printable_item(bad.text) + "\" as a number" + reason + " (value " +
                std::to_string(bad.value_index + 1) + " of the mesh data)"};
}

// Magnitudes from here on round to infinity in single precision; below it they round to a
// finite value, FLT_MAX at most (3.4028235e38, the usual text of FLT_MAX, does).
constexpr double single_overflow = 0x1.ffffffp127;

float single_precision(double value, int index) {
  if (std::fabs(value) >= single_overflow) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    throw failure{"value " + std::to_string(index + 1) + " of the mesh data (" + text +
                  ") is too large for single precision"};
  }
  return static_cast<float>(value);
}

}  // namespace

bool next_console_line(console_input& console) {
  errno = 0;
  if (!std::getline(*console.in, console.text)) {
    // An end of input is the caller's to report; an error (a directory on standard input)
    // is not an end.
    if (console.in->bad()) {
      throw failure{std::string("cannot read standard input: ") +
                    std::strerror(errno != 0 ? errno : EIO)};
    }
    return false;
  }
  if (!console.text.empty() && console.text.back() == '\r') console.text.pop_back();
  console.text += '\n';
  ++console.line;
  return true;
}

mesh::mesh_data ask_mesh_data(std::ostream& out, console_input& console) {
  say(out, "Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):");
  flush_console(out);
  std::array<double, mesh_values> values{};
  list_read state;
  bad_item bad;
  for (;;) {
    if (!next_console_line(console)) {
      throw failure{"standard input ended before the mesh data were complete (" +
                    std::to_string(state.next) + " of 9 values read)"};
    }
    text_cursor cursor = cursor_over(console.text, console.line);
    const read_status status = read_reals(cursor, state, values, &bad);
    if (status == read_status::bad_value) refuse_mesh_value(bad);
    if (status != read_status::need_more) break;
  }
  mesh::mesh_data mesh;
  float* fields[mesh_values] = {&mesh.xmin, &mesh.ymin, &mesh.zmin, &mesh.xmax, &mesh.ymax,
                                &mesh.zmax, &mesh.dx,   &mesh.dy,   &mesh.dz};
  for (int i = 0; i < mesh_values; ++i) *fields[i] = single_precision(values[i], i);
  return mesh;
}

char ask_mirror(std::ostream& out, console_input& console) {
  say(out, "Magnetic mirror:Y,X,F(False)");
  flush_console(out);
  if (!next_console_line(console)) {
    throw failure{"standard input ended before the mirror answer"};
  }
  const char first = console.text.front();
  return first == '\n' ? ' ' : first;
}

void echo_mirror(std::ostream& out, char mirror) {
  if (mirror == 'F') {
    say(out, "full cavity, no mirrors");
  } else if (mirror == 'X' || mirror == 'Y') {
    say(out, std::string(1, mirror) + "Z magnetic mirror");
  } else {
    say(out, "error!");
  }
}

}  // namespace vort
