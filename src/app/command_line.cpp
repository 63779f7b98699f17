#include "app/command_line.hpp"

#include <array>

#include "app/console.hpp"
#include "common/failure.hpp"
#include "input/free_form.hpp"
#include "platform/path_parts.hpp"

namespace vort {
namespace {

std::string argument(std::span<const std::string_view> args, std::size_t position) {
  return position <= args.size() ? std::string(args[position - 1]) : std::string();
}

std::string without_trailing_blanks(std::string text) {
  const std::size_t last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

// The first argument's first four characters, blank-padded: what decides help and notice.
std::string first_four(std::string_view arg) {
  std::string head(arg.substr(0, 4));
  head.resize(4, ' ');
  return head;
}

// "Nz, the table name and the base name": the arguments from `first` on.
std::string missing_arguments(std::size_t first) {
  std::string list;
  for (std::size_t n = first; n < conversion_arguments; ++n) {
    if (n > first) list += n + 1 == conversion_arguments ? " and " : ", ";
    list += argument_names[n];
  }
  return list;
}

void check_argument_count(std::size_t given) {
  if (given >= conversion_arguments) return;
  throw failure{
      "a conversion takes six arguments (Nx Ny Nz vort_file_name output_files_names "
      "Field_flag); " +
      std::to_string(given) + " given: " + missing_arguments(given) +
      (conversion_arguments - given == 1 ? " is" : " are") + " missing"};
}

// The base name must leave a file name after its directory: "" or "out/" would make the
// maps hidden files named by their prefix alone.
void check_base_name(const std::string& base_name, name_charset charset) {
  if (base_name.empty()) {
    throw failure{"the base name (argument 5) is blank"};
  }
  if (name_start(base_name) == base_name.size()) {
    throw failure{"the base name " + in_quotes(base_name, charset) +
                  " ends in a slash: it must end with the name of the maps, as in out/cavity"};
  }
}

}  // namespace

std::int32_t parse_grid_count(const std::string& text, std::string_view name, int position,
                              name_charset charset) {
  const std::string what = std::string(name) + " (argument " + std::to_string(position) + ")";
  std::array<std::int32_t, 1> value{0};
  list_read state;
  bad_item bad;
  text_cursor cursor = cursor_over(text, 1);
  switch (read_integers(cursor, state, value, &bad)) {
    case read_status::need_more:
      throw failure{what + " is missing or blank"};
    case read_status::bad_value:
      if (bad.error == item_error::out_of_range) {
        throw failure{what + ": \"" + printable_item(bad.text, charset) +
                      "\" is outside the 32-bit integer range"};
      }
      throw failure{what + ": cannot read \"" + printable_item(bad.text, charset) +
                    "\" as an integer"};
    default:
      return value[0];
  }
}

command_line parse_command_line(std::span<const std::string_view> all_args, name_charset charset) {
  split_arguments split = split_options(all_args, charset);
  const std::span<const std::string_view> args = split.positionals;
  command_line command;
  command.options = std::move(split.options);
  const std::string first = argument(args, 1);
  if (command.options.help) {
    command.action = start_action::help_with_options;
    return command;
  }
  if (command.options.version) {
    command.action = start_action::version;
    return command;
  }
  if (first_four(first) == "help") {
    command.action = start_action::help;
    return command;
  }
  if (command.options.inspect) {
    if (!args.empty()) {
      throw failure{"--inspect takes the table alone, not \"" + printable_item(first, charset) +
                    "\""};
    }
    command.action = start_action::inspect;
    return command;
  }
  if (command.options.check) {
    // The base name and, where both maps may be there, which one.
    if (args.size() > 1 || (args.size() == 1 && first != "E" && first != "B")) {
      throw failure{
          "--check takes the base name and at most the field flag, E or B, not \"" +
          printable_item(args.size() > 1 && (first == "E" || first == "B") ? args[1] : args[0],
                         charset) +
          "\""};
    }
    if (args.size() == 1) command.field_id = first.front();
    command.action = start_action::check;
    return command;
  }
  if (first_four(first) == "    ") {
    command.action = start_action::notice;
    return command;
  }
  check_argument_count(args.size());
  command.nx_text = first;
  command.ny_text = argument(args, 2);
  command.nz_text = argument(args, 3);
  command.table_name = without_trailing_blanks(argument(args, 4));
  command.base_name = without_trailing_blanks(argument(args, 5));
  check_base_name(command.base_name, charset);
  const std::string flag = argument(args, 6);
  command.field_id = flag.empty() ? ' ' : flag.front();
  command.ignored.assign(args.begin() + conversion_arguments, args.end());
  return command;
}

// The wording of this page, its typos ("VOTR2Pelta", "nuber", "z,y,z", "dimention",
// "simmetric") and its blanks included, is kept byte for byte: scripts and documents quote it.
void write_help(std::ostream& out) {
  const std::string stars_78(78, '*');
  const std::string indent(11, ' ');
  say(out, "");
  say(out, std::string(28, '*') + "    INSTRUCTIONS    " + std::string(30, '*'));
  say(out, "Launch the converter as:");
  say(out, "VOTR2Pelta Nx Ny Nz vort_file_name output_files_names Field_flag");
  say(out, "");
  say(out, "Nx,Ny,Nz are the nuber of grid knots along z,y,z");
  say(out, "");
  say(out, "Attention: If on YZ plane there is a mirror (a symmetrical plane) Nx will be");
  say(out, indent + "int(Nx_final/2)+1 (Nx_final is the number that will appear in the");
  say(out, indent + "Pelta 3D field map file)");
  say(out, "Field_flag=E for the Electric field map");
  say(out, "Field_flag=B for the Magnetic field map");
  say(out, "");
  say(out, "The code will ask: ");
  say(out, "(1) starting mesh points (wrote in the first record of the VORT maps)");
  say(out, "and the dimention of the mesh element dx,dy,dz (all in meters)");
  say(out, "(2) if there are some simmetric plane in the vort map (YZ or XZ)");
  say(out, "");
  say(out, "Example: VORT2Pelta 21 11 101 cavity.txt cav E   (then answer the two questions)");
  say(out, stars_78);
  say(out, "");
}

void write_notice(std::ostream& out) {
  say(out, "");
  say(out, "It has to be launched by prompt");
  say(out, "\"VORT2Pelta help\" for more informations");
  say(out, "");
  say(out, "push enter to exit");
}

void write_version(std::ostream& out) {
  out << "VORT2Pelta " << VORT2PELTA_VERSION << '\n';
}

}  // namespace vort
