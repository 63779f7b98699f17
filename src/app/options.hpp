// Options, in the GNU manner: anywhere on the command line, `--name=value` or `--name value`,
// and `--` ends them. Everything else is a positional argument: a single dash starts no option
// but -h, so a count may be -5.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_text.hpp"
#include "input/mesh_data.hpp"
#include "input/symmetry.hpp"

namespace vort {

// The field's size set by --normalise: the written map's figure on the axis.
enum class normalised_figure { peak, voltage, gradient, peak_b };

struct normalisation {
  normalised_figure figure = normalised_figure::peak;
  double value = 0;  // V/m, V, V/m or T
  std::string text;  // as given, for messages
};

// A unit of the table's positions and of the mesh answer.
struct length_unit {
  std::string name = "m";
  double per_metre = 1;  // how many of the unit make a metre
};

struct command_options {
  bool help = false;  // -h or --help: the help page and the list of options
  bool version = false;
  bool no_grid_check = false;
  bool preview = false;
  bool strict = false;                    // --strict: every warning is a failure
  bool no_sync = false;                   // --no-sync: maps not written out to the disk at once
  bool json = false;                      // --format=json: --inspect writes one JSON object
  std::optional<std::string> inspect;     // the table to inspect
  std::optional<std::string> check;       // --check BASE: the written map to check
  std::optional<std::string> against;     // --against TABLE: the table it was converted from
  bool mesh_auto = false;                 // --mesh=auto: the mesh from the positions
  std::optional<mesh_data> mesh;          // --mesh=VALUES, read up front
  std::optional<char> mirror;             // Y, X or F
  std::optional<symmetry_list> symmetry;  // --symmetry=LIST, in place of the mirror
  int threads = 0;                        // --threads=N: at most N threads; 0: the machine's
  std::optional<length_unit> length;      // --length-unit: the table's unit; metres if none
  std::optional<bool> field_in_tesla;     // --field-unit: T (true) or A/m (false)
  std::optional<double> scale;            // --scale=FACTOR
  std::optional<normalisation> normalise;
  std::optional<double> frequency;            // --frequency=HZ
  std::optional<double> beta;                 // --beta=
  std::optional<std::array<double, 2>> axis;  // --axis=X,Y, in metres of the map
  bool report = false;                        // --report, or --report=FILE.csv
  std::optional<std::string> report_csv;      // the profile's file
  // Not an option: how messages show names, which main reads from the locale once and hands
  // down with the options.
  name_charset charset = name_charset::ascii;
};

struct split_arguments {
  command_options options;
  std::vector<std::string_view> positionals;
};

// Throws `failure` for an unknown option, a missing or bad value, or options that do not go
// together (--inspect or --check with an option of a conversion, --format without --inspect,
// --against without --check, --normalise with --scale, a voltage or gradient without
// --frequency, --beta without it); nothing
// has been written or asked by then. An option's value is never another option; --inspect
// followed by one takes the next positional argument as its table (`--inspect --format=json
// t.txt`), so that in `--inspect --preview t.txt` --preview is what does not go with it.
split_arguments split_options(std::span<const std::string_view> args, name_charset charset);

// A line for each option, after the help page.
// The planes --symmetry or --mirror give, if either does: a conversion's, made once for the
// run, and those --against converts the table with.
std::optional<map_symmetry> given_symmetry(const command_options& options);

void write_option_list(std::ostream& out);

}  // namespace vort
