#include "app/dialogue.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "app/console.hpp"
#include "app/table_findings.hpp"
#include "common/failure.hpp"
#include "input/free_form.hpp"

namespace vort {
namespace {

// `where` is "standard input:<line>" for the typed answer, "--mesh" for the option.
[[noreturn]] void refuse_mesh_value(const bad_item& bad, const std::string& where,
                                    name_charset charset) {
  if (bad.error == item_error::beyond_single) {
    double value = 0;
    item_error unused{};
    parse_real(bad.text.data(), bad.text.data() + bad.text.size(), value, unused);
    throw failure{"value " + std::to_string(bad.value_index + 1) + " of the mesh data (" +
                  number_text(value, 9) + ") is too large for single precision"};
  }
  throw failure{where + ": " + unreadable_number_text(bad, "the mesh data", charset)};
}

mesh_data mesh_of_values(const std::array<float, mesh_values>& values) {
  mesh_data mesh;
  for (int n = 0; n < mesh_values; ++n) typed_value(mesh, n) = values[static_cast<std::size_t>(n)];
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

mesh_data ask_mesh_data(std::ostream& out, console_input& console, name_charset charset) {
  say(out, "Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):");
  flush_console(out);
  std::array<float, mesh_values> values{};
  list_read state;
  bad_item bad;
  for (;;) {
    if (!next_console_line(console)) {
      throw failure{"standard input ended before the mesh data were complete (" +
                    std::to_string(state.next) + " of 9 values read)"};
    }
    text_cursor cursor = cursor_over(console.text, console.line);
    const read_status status = read_singles(cursor, state, values, &bad);
    if (status == read_status::bad_value) {
      refuse_mesh_value(bad, "standard input:" + std::to_string(bad.line), charset);
    }
    if (status != read_status::need_more) break;
  }
  return mesh_of_values(values);
}

mesh_data parse_mesh_option(std::string_view text, name_charset charset) {
  // Room for a tenth value, which is refused: the typed answer throws away the rest of its
  // line, but an option's text holds nothing else.
  std::array<float, mesh_values + 1> values{};
  list_read state;
  bad_item bad;
  text_cursor cursor = cursor_over(text, 1);
  const read_status status = read_singles(cursor, state, values, &bad);
  if (state.next > mesh_values ||
      (status == read_status::bad_value && bad.value_index == mesh_values)) {
    throw failure{"--mesh gives more than the 9 mesh values"};
  }
  if (status == read_status::bad_value) refuse_mesh_value(bad, "--mesh", charset);
  if (status == read_status::need_more && state.next < mesh_values) {
    throw failure{"--mesh gives " + std::to_string(state.next) +
                  " of the 9 mesh values (end it with a slash to leave the rest zero)"};
  }
  std::array<float, mesh_values> nine{};
  std::copy_n(values.begin(), mesh_values, nine.begin());
  return mesh_of_values(nine);
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

symmetry_list planes_of_answer(char mirror) {
  if (mirror == 'Y') return {{0, wall_kind::magnetic}};
  if (mirror == 'X') return {{1, wall_kind::magnetic}};
  return {};
}

bool mirror_answered(char mirror) {
  return mirror == 'Y' || mirror == 'X' || mirror == 'F';
}

std::string unanswered_mirror_warning(std::string_view answer, name_charset charset) {
  // A choice typed in lower case or after blanks is the likely intent.
  const std::size_t first = answer.find_first_not_of(" \t");
  const char meant =
      first == std::string_view::npos
          ? ' '
          : static_cast<char>(std::toupper(static_cast<unsigned char>(answer[first])));
  return "the mirror answer \"" + printable_item(answer, charset) +
         "\" is not Y, X or F: the map is written without a mirror" +
         (mirror_answered(meant) ? "; did you mean " + std::string(1, meant) + "?" : "");
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

std::string a_wall(wall_kind wall) {
  return (wall == wall_kind::magnetic ? "a " : "an ") + std::string(wall_name(wall)) + " wall";
}

std::string mirror_text(int normal, wall_kind wall) {
  return std::string(plane_name(normal)) + " " + wall_name(wall) + " mirror";
}

void echo_symmetry(std::ostream& out, const symmetry_list& list) {
  for (const listed_plane& plane : list) say(out, mirror_text(plane.normal, plane.wall));
}

}  // namespace vort
