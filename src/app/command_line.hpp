// The command line: VORT2Pelta [options] Nx Ny Nz vort_file_name output_files_names Field_flag.
// A first positional argument whose first four characters are "help" asks for the help page
// (-h or --help for the page and the options); a missing or blank one gets a notice that
// waits for Enter.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.hpp"

namespace vort {

enum class start_action { convert, help, help_with_options, notice, version, inspect, check };

struct command_line {
  start_action action = start_action::convert;
  command_options options;
  std::string nx_text, ny_text, nz_text;  // whole arguments, parsed later
  std::string table_name;                 // trailing blanks dropped
  std::string base_name;                  // trailing blanks dropped
  char field_id = ' ';  // first character of argument 6, or a blank; with --check, E or B if given
  std::vector<std::string> ignored;  // arguments after the sixth
};

inline constexpr std::size_t conversion_arguments = 6;

// The arguments of a conversion, as messages name them.
inline constexpr const char* argument_names[conversion_arguments] = {
    "Nx", "Ny", "Nz", "the table name", "the base name", "the field flag"};

// `args` without the program's own name. Throws `failure` for a bad option, and for a
// conversion with fewer than six arguments or a base name that names no file (blank, or
// ending in a slash).
command_line parse_command_line(std::span<const std::string_view> args, name_charset charset);

// One integer from a grid-count argument, read as a free-form integer (leading blanks
// skipped, ended by a blank, comma or slash). `name` is Nx, Ny or Nz, `position` its argument.
// Throws `failure` naming the argument.
std::int32_t parse_grid_count(const std::string& text, std::string_view name, int position,
                              name_charset charset);

void write_help(std::ostream& out);
void write_notice(std::ostream& out);
void write_version(std::ostream& out);

}  // namespace vort
