#include "app/options.hpp"

#include <cctype>
#include <charconv>
#include <cstddef>
#include <optional>

#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "common/failure.hpp"
#include "common/parallel_parts.hpp"

namespace vort {
namespace {

enum class takes { nothing, value };
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
         id == option_id::preview || id == option_id::strict || id == option_id::no_sync;
}

// Options of a conversion that --against needs to convert the table as its conversion did.
bool reconverts(option_id id) {
  return id == option_id::mirror || id == option_id::symmetry || id == option_id::no_grid_check;
}

// Options that a check of a written map has no use for.
bool not_for_a_check(option_id id) {
  return (converts(id) && !reconverts(id)) || id == option_id::inspect || id == option_id::format;
}

[[noreturn]] void refuse(const std::string& what) {
  throw failure{what + " (VORT2Pelta --help lists the options)"};
}

char mirror_of(std::string_view value) {
  if (value == "Y" || value == "X" || value == "F") return value.front();
  std::string hint;
  if (value == "y" || value == "x" || value == "f") {
    hint = "; did you mean " + std::string(1, static_cast<char>(value.front() - 'a' + 'A')) + "?";
  }
  throw failure{"--mirror=" + printable_item(value) + ": the mirror is Y, X or F" + hint};
}

int threads_of(std::string_view value) {
  int threads = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
  if (error != std::errc{} || end != value.data() + value.size() || threads < 1 ||
      threads > max_threads) {
    throw failure{"--threads=" + printable_item(value) +
                  ": the thread count is a whole number from 1 to " + std::to_string(max_threads)};
  }
  return threads;
}

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// One PLANE:WALL of a --symmetry list, or PLANE:WALL:END where the end of the table's axis
// that the plane lies at (first or last) is not left to the table to tell.
listed_plane plane_of(std::string_view item, std::string_view list) {
  const std::string where = "--symmetry=" + printable_item(list) + ": ";
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
    throw failure{where + "\"" + printable_item(item) + "\" names no plane (yz, xz or xy)"};
  }
  if (wall == wall_name(wall_kind::magnetic)) {
    parsed.wall = wall_kind::magnetic;
  } else if (wall == wall_name(wall_kind::electric)) {
    parsed.wall = wall_kind::electric;
  } else {
    throw failure{where + "\"" + printable_item(item) +
                  "\" names no wall (PLANE:magnetic or PLANE:electric)"};
  }
  if (end == "first") {
    parsed.side = plane_side::first_knot;
  } else if (end == "last") {
    parsed.side = plane_side::last_knot;
  } else if (second != std::string_view::npos) {
    throw failure{where + "\"" + printable_item(item) +
                  "\" names no end of the axis (PLANE:WALL:first or PLANE:WALL:last)"};
  }
  return parsed;
}

symmetry_list planes_of_option(std::string_view value) {
  symmetry_list list;
  std::size_t start = 0;
  do {
    const std::size_t comma = value.find(',', start);
    const listed_plane plane = plane_of(value.substr(start, comma - start), value);
    for (const listed_plane& listed : list) {
      if (listed.normal == plane.normal) {
        throw failure{"--symmetry=" + printable_item(value) + ": the " + plane_name(plane.normal) +
                      " plane is listed twice"};
      }
    }
    list.push_back(plane);
    start = comma == std::string_view::npos ? value.size() + 1 : comma + 1;
  } while (start <= value.size());
  return list;
}

void apply(command_options& options, const option_entry& entry, std::string_view value) {
  switch (entry.id) {
    case option_id::mesh:
      options.mesh_auto = value == "auto";
      options.mesh.reset();
      if (!options.mesh_auto) options.mesh = parse_mesh_option(value);
      break;
    case option_id::mirror:
      options.mirror = mirror_of(value);
      break;
    case option_id::symmetry:
      options.symmetry = planes_of_option(value);
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
      options.threads = threads_of(value);
      break;
    case option_id::inspect:
      options.inspect = std::string(value);
      break;
    case option_id::format:
      if (value != "json" && value != "text") {
        throw failure{"--format=" + printable_item(value) + ": the format is text or json"};
      }
      options.json = value == "json";
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

}  // namespace

split_arguments split_options(std::span<const std::string_view> args) {
  split_arguments split;
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
    if (entry == nullptr) refuse("unknown option \"" + printable_item(name) + "\"");
    std::string_view value;
    if (entry->argument == takes::nothing) {
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
    apply(split.options, *entry, value);
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
  if (split.options.mesh_auto && split.options.no_grid_check) {
    throw failure{
        "--mesh=auto takes the mesh from the records' positions, which "
        "--no-grid-check leaves unread"};
  }
  return split;
}

void write_option_list(std::ostream& out) {
  say(out, "Options (anywhere on the command line; -- ends them):");
  for (const option_entry& entry : option_table) say(out, entry.help);
  say(out, "With --mesh and --mirror (or --symmetry) nothing is read from standard input.");
  say(out, "");
}

}  // namespace vort
