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

// `where` is "standard input:<line>" for the typed answer, "--mesh" for the option.
[[noreturn]] void refuse_mesh_value(const bad_item& bad, const std::string& where) {
  const std::string reason =
      bad.error == item_error::out_of_range ? ": it is too large for a double" : "";
  throw failure{where + ": cannot read \"" + printable_item(bad.text) + "\" as a number" + reason +
                " (value " + std::to_string(bad.value_index + 1) + " of the mesh data)"};
}

float single_precision(double value, int index) {
  if (std::fabs(value) >= mesh::single_overflow) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    throw failure{"value " + std::to_string(index + 1) + " of the mesh data (" + text +
                  ") is too large for single precision"};
  }
  return static_cast<float>(value);
}

mesh::mesh_data mesh_of_values(const std::array<double, mesh_values>& values) {
  mesh::mesh_data mesh;
  float* fields[mesh_values] = {&mesh.xmin, &mesh.ymin, &mesh.zmin, &mesh.xmax, &mesh.ymax,
                                &mesh.zmax, &mesh.dx,   &mesh.dy,   &mesh.dz};
  for (int i = 0; i < mesh_values; ++i) *fields[i] = single_precision(values[i], i);
  return mesh;
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
    if (status == read_status::bad_value) {
      refuse_mesh_value(bad, "standard input:" + std::to_string(bad.line));
    }
    if (status != read_status::need_more) break;
  }
  return mesh_of_values(values);
}

mesh::mesh_data parse_mesh_option(std::string_view text) {
  std::array<double, mesh_values> values{};
  list_read state;
  bad_item bad;
  text_cursor cursor = cursor_over(text, 1);
  switch (read_reals(cursor, state, values, &bad)) {
    case read_status::bad_value:
      refuse_mesh_value(bad, "--mesh");
    case read_status::need_more:
      throw failure{"--mesh gives " + std::to_string(state.next) +
                    " of the 9 mesh values (end it with a slash to leave the rest zero)"};
    default:
      return mesh_of_values(values);
  }
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
