#include "app/options.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "app/message_text.hpp"
#include "common/failure.hpp"
#include "common/parallel_parts.hpp"

namespace vort {
namespace {

// An optional value is given only after "=": `--report` alone takes none.
enum class takes { nothing, value, optional_value };
enum class option_id {
  mesh,
  mirror,
  symmetry,
  preview,
  no_grid_check,
  strict,
  no_sync,
  threads,
  inspect,
  format,
  length_unit,
  field_unit,
  scale,
  normalise,
  frequency,
  beta,
  axis,
  report,
  check,
  against,
  help,
  version
};

struct option_entry {
  option_id id;
  std::string_view name;
  takes argument;
  std::string_view help;  // the line of the option list
};

constexpr option_entry option_table[] = {
    {option_id::mesh, "--mesh", takes::value,
     "--mesh=VALUES     the nine mesh values as at the first question, or auto (from the table)"},
    {option_id::mirror, "--mirror", takes::value,
     "--mirror=Y|X|F    the answer to the second question"},
    {option_id::symmetry, "--symmetry", takes::value,
     "--symmetry=LIST   symmetry planes instead: yz, xz or xy each with :magnetic or :electric"},
    {option_id::preview, "--preview", takes::nothing,
     "--preview         also write 3D-<base>.png, a picture of the map"},
    {option_id::no_grid_check, "--no-grid-check", takes::nothing,
     "--no-grid-check   do not check the records' positions against the grid"},
    {option_id::strict, "--strict", takes::nothing,
     "--strict          every warning is a failure: status 1, no file replaced"},
    {option_id::no_sync, "--no-sync", takes::nothing,
     "--no-sync         do not wait for the maps to reach the disk (scratch output)"},
    {option_id::threads, "--threads", takes::value,
     "--threads=N       use at most N threads (1 to 64; default: the machine's, at most 64)"},
    {option_id::inspect, "--inspect", takes::value,
     "--inspect TABLE   describe the table's grid, mesh and field; write nothing"},
    {option_id::format, "--format", takes::value,
     "--format=json     with --inspect: one JSON object instead of the text"},
    {option_id::length_unit, "--length-unit", takes::value,
     "--length-unit=U   the unit of the positions and the mesh: m, cm, mm or um (default m)"},
    {option_id::field_unit, "--field-unit", takes::value,
     "--field-unit=U    with the flag B: A/m (the table holds H; default) or T (it holds B)"},
    {option_id::scale, "--scale", takes::value,
     "--scale=FACTOR    multiply every value by FACTOR, on top of the field kind's factor"},
    {option_id::normalise, "--normalise", takes::value,
     "--normalise=W:V   scale the map so that W is V: peak, voltage, gradient or peak-b"},
    {option_id::frequency, "--frequency", takes::value,
     "--frequency=HZ    the frequency of the field, for the voltage on the axis"},
    {option_id::beta, "--beta", takes::value,
     "--beta=B          with --frequency: the particle's speed over c (default 1)"},
    {option_id::axis, "--axis", takes::value,
     "--axis=X,Y        the axis: the line x = X, y = Y (metres of the map; default 0,0)"},
    {option_id::report, "--report", takes::optional_value,
     "--report[=F.csv]  report the field on the axis; write its profile to F.csv"},
    {option_id::check, "--check", takes::value,
     "--check BASE      check the six files of the map BASE as written; write nothing"},
    {option_id::against, "--against", takes::value,
     "--against TABLE   with --check: compare every value with what TABLE converts to"},
    {option_id::help, "--help", takes::nothing, "-h, --help        this page and this list"},
    {option_id::version, "--version", takes::nothing, "--version         the version"},
};

const option_entry* find_option(std::string_view name) {
  for (const option_entry& entry : option_table) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// What takes an argument's place as an option: -h, or a long option of the table.
bool names_an_option(std::string_view arg) {
  return arg == "-h" || find_option(arg.substr(0, arg.find('='))) != nullptr;
}

// Options that shape a conversion, which --inspect, converting nothing, cannot honour.
bool converts(option_id id) {
  return id == option_id::mesh || id == option_id::mirror || id == option_id::symmetry ||
         id == option_id::preview || id == option_id::strict || id == option_id::no_sync ||
         id == option_id::field_unit || id == option_id::scale || id == option_id::normalise ||
         id == option_id::report;
}

// Options of a conversion that --against needs to convert the table as its conversion did (a
// normalised map is checked with the scale its conversion echoed).
bool reconverts(option_id id) {
  return id == option_id::mirror || id == option_id::symmetry || id == option_id::no_grid_check ||
         id == option_id::field_unit || id == option_id::scale;
}

// Options that a check of a written map has no use for: the map is in metres.
bool not_for_a_check(option_id id) {
  return (converts(id) && !reconverts(id)) || id == option_id::inspect || id == option_id::format ||
         id == option_id::length_unit;
}

[[noreturn]] void refuse(const std::string& what) {
  throw failure{what + " (VORT2Pelta --help lists the options)"};
}

char mirror_of(std::string_view value, name_charset charset) {
  if (value == "Y" || value == "X" || value == "F") return value.front();
  std::string hint;
  if (value == "y" || value == "x" || value == "f") {
    hint = "; did you mean " + std::string(1, static_cast<char>(value.front() - 'a' + 'A')) + "?";
  }
  throw failure{"--mirror=" + printable_item(value, charset) + ": the mirror is Y, X or F" + hint};
}

int threads_of(std::string_view value, name_charset charset) {
  int threads = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
  if (error != std::errc{} || end != value.data() + value.size() || threads < 1 ||
      threads > max_threads) {
    throw failure{"--threads=" + printable_item(value, charset) +
                  ": the thread count is a whole number from 1 to " + std::to_string(max_threads)};
  }
  return threads;
}

// A finite number that is the whole text, or none.
std::optional<double> whole_number(std::string_view text) {
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(number)) {
    return std::nullopt;
  }
  return number;
}

// The option's number, which `fits` must take; `what` says which numbers do, for the message.
double number_of(std::string_view option, std::string_view value, std::string_view what,
                 bool (*fits)(double), name_charset charset) {
  const std::optional<double> number = whole_number(value);
  if (!number || !fits(*number)) {
    throw failure{std::string(option) + "=" + printable_item(value, charset) + ": " +
                  std::string(what)};
  }
  return *number;
}

length_unit length_unit_of(std::string_view value, name_charset charset) {
  constexpr std::pair<std::string_view, double> units[] = {
      {"m", 1}, {"cm", 100}, {"mm", 1000}, {"um", 1e6}};
  for (const auto& [name, per_metre] : units) {
    if (value == name) return {std::string(name), per_metre};
  }
  throw failure{"--length-unit=" + printable_item(value, charset) +
                ": the unit is m, cm, mm or um"};
}

bool tesla_of(std::string_view value, name_charset charset) {
  if (value == "T") return true;
  if (value == "A/m") return false;
  throw failure{"--field-unit=" + printable_item(value, charset) + ": the unit is A/m or T"};
}

normalisation normalisation_of(std::string_view value, name_charset charset) {
  constexpr std::pair<std::string_view, normalised_figure> figures[] = {
      {"peak", normalised_figure::peak},
      {"voltage", normalised_figure::voltage},
      {"gradient", normalised_figure::gradient},
      {"peak-b", normalised_figure::peak_b}};
  const std::size_t colon = value.find(':');
  const std::string_view name = value.substr(0, colon);
  for (const auto& [figure_name, figure] : figures) {
    if (name != figure_name) continue;
    if (colon == std::string_view::npos) {
      throw failure{"--normalise=" + printable_item(value, charset) + ": give the value as " +
                    std::string(figure_name) + ":VALUE"};
    }
    const std::optional<double> wanted = whole_number(value.substr(colon + 1));
    if (!wanted || *wanted <= 0) {
      throw failure{"--normalise=" + printable_item(value, charset) +
                    ": the value is a number above 0"};
    }
    return {figure, *wanted, std::string(value)};
  }
  throw failure{"--normalise=" + printable_item(value, charset) +
                ": normalise peak, voltage, gradient or peak-b, as WHAT:VALUE"};
}

std::array<double, 2> axis_of(std::string_view value, name_charset charset) {
  const std::size_t comma = value.find(',');
  const std::optional<double> x =
      comma == std::string_view::npos ? std::nullopt : whole_number(value.substr(0, comma));
  const std::optional<double> y =
      comma == std::string_view::npos ? std::nullopt : whole_number(value.substr(comma + 1));
  if (!x || !y) {
    throw failure{"--axis=" + printable_item(value, charset) +
                  ": the axis is X,Y: two numbers, in metres"};
  }
  return {*x, *y};
}

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// One PLANE:WALL of a --symmetry list, or PLANE:WALL:END where the end of the table's axis
// that the plane lies at (first or last) is not left to the table to tell.
listed_plane plane_of(std::string_view item, std::string_view list, name_charset charset) {
  const std::string where = "--symmetry=" + printable_item(list, charset) + ": ";
  const std::size_t colon = item.find(':');
  const std::size_t second = colon == std::string_view::npos ? colon : item.find(':', colon + 1);
  const std::string plane = lower_case(item.substr(0, colon));
  const std::string wall =
      colon == std::string_view::npos ? "" : lower_case(item.substr(colon + 1, second - colon - 1));
  const std::string end =
      second == std::string_view::npos ? "" : lower_case(item.substr(second + 1));
  listed_plane parsed;
  parsed.normal = -1;
  for (int normal = 0; normal < 3; ++normal) {
    if (plane == plane_option_name(normal)) parsed.normal = normal;
  }
  if (parsed.normal < 0) {
    throw failure{where + "\"" + printable_item(item, charset) +
                  "\" names no plane (yz, xz or xy)"};
  }
  if (wall == wall_name(wall_kind::magnetic)) {
    parsed.wall = wall_kind::magnetic;
  } else if (wall == wall_name(wall_kind::electric)) {
    parsed.wall = wall_kind::electric;
  } else {
    throw failure{where + "\"" + printable_item(item, charset) +
                  "\" names no wall (PLANE:magnetic or PLANE:electric)"};
  }
  if (end == "first") {
    parsed.side = plane_side::first_knot;
  } else if (end == "last") {
    parsed.side = plane_side::last_knot;
  } else if (second != std::string_view::npos) {
    throw failure{where + "\"" + printable_item(item, charset) +
                  "\" names no end of the axis (PLANE:WALL:first or PLANE:WALL:last)"};
  }
  return parsed;
}

symmetry_list planes_of_option(std::string_view value, name_charset charset) {
  symmetry_list list;
  std::size_t start = 0;
  do {
    const std::size_t comma = value.find(',', start);
    const listed_plane plane = plane_of(value.substr(start, comma - start), value, charset);
    for (const listed_plane& listed : list) {
      if (listed.normal == plane.normal) {
        throw failure{"--symmetry=" + printable_item(value, charset) + ": the " +
                      plane_name(plane.normal) + " plane is listed twice"};
      }
    }
    list.push_back(plane);
    start = comma == std::string_view::npos ? value.size() + 1 : comma + 1;
  } while (start <= value.size());
  return list;
}

void apply(command_options& options, const option_entry& entry, std::string_view value,
           name_charset charset) {
  switch (entry.id) {
    case option_id::mesh:
      options.mesh_auto = value == "auto";
      options.mesh.reset();
      if (!options.mesh_auto) options.mesh = parse_mesh_option(value, charset);
      break;
    case option_id::mirror:
      options.mirror = mirror_of(value, charset);
      break;
    case option_id::symmetry:
      options.symmetry = planes_of_option(value, charset);
      break;
    case option_id::preview:
      options.preview = true;
      break;
    case option_id::no_grid_check:
      options.no_grid_check = true;
      break;
    case option_id::strict:
      options.strict = true;
      break;
    case option_id::no_sync:
      options.no_sync = true;
      break;
    case option_id::threads:
      options.threads = threads_of(value, charset);
      break;
    case option_id::inspect:
      options.inspect = std::string(value);
      break;
    case option_id::format:
      if (value != "json" && value != "text") {
        throw failure{"--format=" + printable_item(value, charset) +
                      ": the format is text or json"};
      }
      options.json = value == "json";
      break;
    case option_id::length_unit:
      options.length = length_unit_of(value, charset);
      break;
    case option_id::field_unit:
      options.field_in_tesla = tesla_of(value, charset);
      break;
    case option_id::scale:
      options.scale = number_of(
          "--scale", value, "the scale is a number other than 0",
          [](double scale) { return scale != 0; }, charset);
      break;
    case option_id::normalise:
      options.normalise = normalisation_of(value, charset);
      break;
    case option_id::frequency:
      options.frequency = number_of(
          "--frequency", value, "the frequency is a number above 0",
          [](double frequency) { return frequency > 0; }, charset);
      break;
    case option_id::beta:
      options.beta = number_of(
          "--beta", value, "beta is a number above 0, at most 1",
          [](double beta) { return beta > 0 && beta <= 1; }, charset);
      break;
    case option_id::axis:
      options.axis = axis_of(value, charset);
      break;
    case option_id::report:
      options.report = true;
      options.report_csv.reset();
      if (!value.empty()) options.report_csv = std::string(value);
      break;
    case option_id::check:
      options.check = std::string(value);
      break;
    case option_id::against:
      options.against = std::string(value);
      break;
    case option_id::help:
      options.help = true;
      break;
    case option_id::version:
      options.version = true;
      break;
  }
}

// The options of the figures on the axis that only make sense together.
void check_figure_options(const command_options& options) {
  if (options.normalise && options.scale) {
    throw failure{"--normalise and --scale cannot go together: --normalise works out the scale"};
  }
  if (options.beta && !options.frequency) {
    throw failure{"--beta goes with --frequency: it sets the voltage's phase along the axis"};
  }
  const bool needs_frequency =
      options.normalise && (options.normalise->figure == normalised_figure::voltage ||
                            options.normalise->figure == normalised_figure::gradient);
  if (needs_frequency && !options.frequency) {
    throw failure{"--normalise=" + printable_item(options.normalise->text, options.charset) +
                  ": the voltage on the axis needs --frequency=HZ"};
  }
}

}  // namespace

split_arguments split_options(std::span<const std::string_view> args, name_charset charset) {
  split_arguments split;
  split.options.charset = charset;
  bool options_ended = false;
  // --inspect followed by another option takes the next positional argument as its table:
  // the number of positionals seen when it stood, or none.
  std::optional<std::size_t> inspect_table_at;
  bool format_given = false;
  std::string_view conversion_option;  // the first option that only a conversion takes
  std::string_view not_checking;       // the first option that a check has no use for
  std::string_view reconversion;       // an option of the conversion for --against
  for (std::size_t n = 0; n < args.size(); ++n) {
    const std::string_view arg = args[n];
    if (options_ended || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      split.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg == "-h" ? "--help" : arg.substr(0, equals);
    const option_entry* entry = find_option(name);
    if (entry == nullptr) refuse("unknown option \"" + printable_item(name, charset) + "\"");
    std::string_view value;
    if (entry->argument == takes::optional_value) {
      if (equals != std::string_view::npos) {
        value = arg.substr(equals + 1);
        if (value.empty()) refuse("option " + std::string(name) + "= needs a file name");
      }
    } else if (entry->argument == takes::nothing) {
      if (equals != std::string_view::npos)
        refuse("option " + std::string(name) + " takes no value");
    } else if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (n + 1 < args.size() && !names_an_option(args[n + 1])) {
      value = args[++n];
    } else if (entry->id == option_id::inspect) {
      inspect_table_at = split.positionals.size();
      continue;
    } else {
      refuse("option " + std::string(name) + " needs a value");
    }
    apply(split.options, *entry, value, charset);
    if (converts(entry->id) && conversion_option.empty()) conversion_option = name;
    if (not_for_a_check(entry->id) && not_checking.empty()) not_checking = name;
    if (reconverts(entry->id) && reconversion.empty()) reconversion = name;
    if (entry->id == option_id::format) format_given = true;
  }
  if (inspect_table_at && *inspect_table_at < split.positionals.size()) {
    const auto table = split.positionals.begin() + static_cast<std::ptrdiff_t>(*inspect_table_at);
    split.options.inspect = std::string(*table);
    split.positionals.erase(table);
    inspect_table_at.reset();
  }
  if (split.options.check) {
    if (!not_checking.empty()) {
      throw failure{"--check reads a written map and converts nothing: it does not go with " +
                    std::string(not_checking)};
    }
    if (!reconversion.empty() && !split.options.against) {
      throw failure{std::string(reconversion) +
                    " goes with --against: the check of a map on its own converts no table"};
    }
  } else if (split.options.against) {
    throw failure{"--against goes with --check: it compares a written map with its table"};
  }
  if (split.options.inspect || inspect_table_at) {
    if (!conversion_option.empty()) {
      throw failure{"--inspect describes a table and converts nothing: it does not go with " +
                    std::string(conversion_option)};
    }
    if (inspect_table_at) refuse("option --inspect needs a value");
  } else if (format_given) {
    throw failure{"--format goes with --inspect: a conversion has no other form"};
  }
  if (split.options.mirror && split.options.symmetry) {
    throw failure{
        "--mirror and --symmetry cannot go together: --mirror=Y is --symmetry=yz:magnetic, "
        "--mirror=X is --symmetry=xz:magnetic"};
  }
  check_figure_options(split.options);
  if (split.options.mesh_auto && split.options.no_grid_check) {
    throw failure{
        "--mesh=auto takes the mesh from the records' positions, which "
        "--no-grid-check leaves unread"};
  }
  return split;
}

std::optional<map_symmetry> given_symmetry(const command_options& options) {
  if (options.symmetry) return symmetry_from_list(*options.symmetry);
  if (options.mirror) return symmetry_from_list(planes_of_answer(*options.mirror));
  return std::nullopt;
}

void write_option_list(std::ostream& out) {
  say(out, "Options (anywhere on the command line; -- ends them):");
  for (const option_entry& entry : option_table) say(out, entry.help);
  say(out, "With --mesh and --mirror (or --symmetry) nothing is read from standard input.");
  say(out, "");
}

}  // namespace vort
