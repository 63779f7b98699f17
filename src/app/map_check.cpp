#include "app/map_check.hpp"

#include <array>
#include <string>
#include <vector>

#include "app/axis_report.hpp"
#include "app/dialogue.hpp"
#include "app/field_scaling.hpp"
#include "app/message_text.hpp"
#include "app/table_findings.hpp"
#include "common/failure.hpp"
#include "common/memory_budget.hpp"
#include "common/parallel_parts.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_comparison.hpp"
#include "fieldmap/map_layout.hpp"
#include "fieldmap/map_reading.hpp"
#include "fieldmap/output_files.hpp"
#include "fieldmap/read_back_profile.hpp"
#include "input/grid_check.hpp"
#include "input/plane_sides.hpp"
#include "input/position_check.hpp"
#include "input/position_spread.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "platform/file_status.hpp"

namespace vort {
namespace {

// The maps a base name may have, by the flag that names their files.
constexpr std::array<char, 2> map_flags{'E', 'B'};

struct map_set {
  char flag;
  output_names names;
  int present = 0;  // files of the six that exist
};

bool exists(const std::string& name) {
  file_status status;
  return status_of(name.c_str(), status) == 0;
}

std::vector<map_set> sets_of(const std::string& base_name, char field_id) {
  std::vector<map_set> sets;
  for (const char flag : map_flags) {
    if (field_id != flag && (field_id == 'E' || field_id == 'B')) continue;
    map_set set{flag, build_output_names(base_name, select_field_kind(flag))};
    for (const std::string& name : set.names) set.present += exists(name) ? 1 : 0;
    sets.push_back(set);
  }
  return sets;
}

// The sets to check: each of which a file exists, whole.
std::vector<map_set> whole_sets(const std::string& base_name, char field_id, name_charset charset) {
  std::vector<map_set> found;
  const std::vector<map_set> sets = sets_of(base_name, field_id);
  for (const map_set& set : sets) {
    if (set.present == 0) continue;
    for (const std::string& name : set.names) {
      if (!exists(name)) {
        throw failure{"the map " + in_quotes(base_name, charset) +
                      " is not whole: " + in_quotes(name, charset) + " is missing"};
      }
    }
    found.push_back(set);
  }
  if (found.empty() && sets.size() == 1) {
    throw failure{"no map " + in_quotes(base_name, charset) +
                  " to check: " + in_quotes(sets[0].names[0], charset) + " does not exist"};
  }
  if (found.empty()) {
    throw failure{"no map " + in_quotes(base_name, charset) + " to check: neither " +
                  in_quotes(sets[0].names[0], charset) + " nor " +
                  in_quotes(sets[1].names[0], charset) + " exists"};
  }
  return found;
}

int check_threads(const command_options& options) {
  return options.threads > 0 ? options.threads : default_threads();
}

// The table's counts of a map of `knots` with these planes: along an axis normal to a plane
// the map has 2N - 1 knots for the table's N.
grid_counts table_counts(map_knots knots, const map_symmetry& symmetry,
                         const std::string& base_name, name_charset charset) {
  std::array<std::int32_t, 3> counts{};
  for (std::size_t a = 0; a < 3; ++a) {
    const std::int64_t along = knots[a];
    if (!symmetry.planes[a]) {
      counts[a] = static_cast<std::int32_t>(along);
      continue;
    }
    if (along % 2 == 0) {
      throw failure{"--against: the map " + in_quotes(base_name, charset) + " has " +
                    std::to_string(along) + " " + axis_names[a] + " knots, which the " +
                    plane_name(static_cast<int>(a)) +
                    " symmetry plane cannot make: it makes an odd count, 2N - 1"};
    }
    counts[a] = static_cast<std::int32_t>((along + 1) / 2);
  }
  return {counts[0], counts[1], counts[2]};
}

// The table read as a conversion reads it, its planes placed as a conversion places them.
struct converted_table {
  record_table rows;
  std::int64_t records = 0;  // read from the table: the rest of the rows are zero
  map_symmetry symmetry;
};

converted_table read_against(const command_options& options, map_knots knots, bool axial,
                             const std::string& base_name) {
  converted_table converted;
  converted.symmetry = given_symmetry(options).value_or(map_symmetry{});
  const grid_counts counts = table_counts(knots, converted.symmetry, base_name, options.charset);
  const table_file table = open_table(*options.against);
  check_memory_budget(table_bytes(counts), memory_room());
  converted.rows = allocate_record_table(counts);
  const bool positions = !options.no_grid_check;
  position_spread spread = positions ? start_spread(counts) : position_spread{};
  const std::int64_t read = read_counted_table(
      table, converted.rows, check_threads(options), [](const line_count&) {},
      positions ? &spread : nullptr);
  converted.records = read;
  const checked_positions checked =
      positions ? check_table_positions(table, spread, read, std::nullopt, options.charset)
                : checked_positions{};
  place_planes(converted.symmetry, converted.rows, read, checked.known ? &checked.axes : nullptr,
               axial);
  return converted;
}

std::string short_table_hint(const command_options& options, const converted_table& converted) {
  return "; " + in_quotes(*options.against, options.charset) + " holds " +
         counted(converted.records, "record") + " for the " + counted(converted.rows.rows, "knot") +
         " of the map's table" +
         (options.mirror || options.symmetry ? ": are the planes those of its conversion?"
                                             : ": was it converted with --mirror or --symmetry?");
}

std::string place(const output_names& names, const map_fault& fault, name_charset charset) {
  return in_quotes(names[fault.file], charset) + ", line " + std::to_string(fault.line);
}

std::string value_place(const output_names& names, const map_fault& fault, name_charset charset) {
  return place(names, fault, charset) + ", value " + std::to_string(fault.value);
}

std::string quoted_item(const std::string& text, name_charset charset) {
  return "\"" + printable_item(text, charset) + "\"";
}

// The line a fault of the map read back is told in.
std::string fault_text(const output_names& names, const map_fault& fault,
                       const command_options& options) {
  const name_charset charset = options.charset;
  switch (fault.damage) {
    case map_damage::line_missing:
      return place(names, fault, charset) + ": missing, the file ends before it" +
             (fault.due > 0
                  ? "; the axes make " + counted(static_cast<std::int64_t>(fault.due), "line")
                  : std::string());
    case map_damage::line_length:
      return place(names, fault, charset) + " has " +
             counted(static_cast<std::int64_t>(fault.found), "character") + ", where " +
             (fault.line <= 3 ? "its count of " + counted(fault.count, "knot") + " makes "
                              : "the " + counted(fault.count, "x knot") + " make ") +
             std::to_string(fault.due);
    case map_damage::no_line_end:
      return place(names, fault, charset) + ": the file ends without its line end";
    case map_damage::out_of_form:
      return value_place(names, fault, charset) + ": " + quoted_item(fault.text, charset) +
             " is not a number in the form of the maps";
    case map_damage::count_not_whole:
      return place(names, fault, charset) + ": the count " + quoted_item(fault.text, charset) +
             " is not a whole number of knots from 1 to " + std::to_string(max_axis_knots);
    case map_damage::axis_out_of_order:
      return value_place(names, fault, charset) + ": the " + axis_names[fault.axis] +
             " coordinate " + quoted_item(fault.text, charset) +
             (fault.value == 3 && fault.text == fault.other
                  ? std::string(" is the one before it")
                  : std::string(" does not go on ") + (fault.rising ? "rising" : "falling") +
                        " from the one before it, " + quoted_item(fault.other, charset));
    case map_damage::axes_differ:
      return place(names, fault, charset) + ": the " + axis_names[fault.axis] +
             " axis differs from that of " + in_quotes(names[fault.other_file], charset);
    case map_damage::text_after_body:
      return place(names, fault, charset) + ": " + quoted_item(fault.text, charset) +
             " follows the last line of the body; the axes make " +
             counted(static_cast<std::int64_t>(fault.due), "line");
    case map_damage::value_differs:
      return value_place(names, fault, charset) + ": " + quoted_item(fault.text, charset) +
             " where " + in_quotes(options.against.value_or(""), charset) + " gives " +
             quoted_item(fault.other, charset);
  }
  return {};
}

std::string knots_text(map_knots knots) {
  return std::to_string(knots[0]) + " x " + std::to_string(knots[1]) + " x " +
         std::to_string(knots[2]) + " knots";
}

// The figures along the beam axis of the map read back, as a conversion's report gives them:
// the line x = 0, y = 0 or --axis. A line given by --axis that misses the map is refused; the
// default one is left out with its reason.
void write_on_axis_figures(const read_map& map, const field_kind& kind, const field_kind& unscaled,
                           const command_options& options, std::ostream& out) {
  const std::array<double, 2> at = options.axis.value_or(std::array<double, 2>{0, 0});
  const std::optional<axis_profile> profile = profile_of_read_map(map, at[0], at[1]);
  if (!profile) {
    const std::string outside = axis_outside_message(at, options.axis.has_value(), map.axes);
    if (options.axis) throw failure{outside};
    out << outside << '\n';
    return;
  }
  const rf_settings rf = rf_of(options);
  for (const std::string& line : axis_report_lines(*profile, figures_of(*profile, kind.axial, rf),
                                                   wording_of(unscaled), rf)) {
    out << line << '\n';
  }
}

// The map's faults are told as lines naming their file and line.
[[noreturn]] void refuse(const output_names& names, const map_fault& fault,
                         const command_options& options, const std::string& hint = "") {
  throw failure{fault_text(names, fault, options) + hint};
}

void check_set(const map_set& set, const command_options& options, std::ostream& out) {
  // The values as its conversion scaled them: the flag's kind in the table's field unit, times
  // --scale.
  const field_kind unscaled = unscaled_kind(set.flag, options);
  const field_kind kind = kind_with_scale(unscaled, options);
  read_map map;
  try {
    map = open_written_map(set.names);
  } catch (const map_fault& fault) {
    refuse(set.names, fault, options);
  }
  // A line given by --axis that misses the map is refused before anything is said of it.
  if (options.axis && (!cell_of(map.axes.coordinates[0], (*options.axis)[0]) ||
                       !cell_of(map.axes.coordinates[1], (*options.axis)[1]))) {
    throw failure{axis_outside_message(*options.axis, true, map.axes)};
  }
  std::string against;
  if (!options.against) {
    try {
      check_map_bodies(map, check_threads(options));
    } catch (const map_fault& fault) {
      refuse(set.names, fault, options);
    }
  } else {
    const converted_table converted = read_against(options, map.knots, kind.axial, *options.check);
    const auto comparison = compare_with(converted.rows, kind, converted.symmetry);
    try {
      check_map_bodies(map, check_threads(options), line_comparison(*comparison));
    } catch (const map_fault& fault) {
      // A conversion writes the knots a short table lacks as zero; planes other than the
      // conversion's make a table look short.
      refuse(set.names, fault, options,
             converted.records < converted.rows.rows ? short_table_hint(options, converted) : "");
    }
    against = ", every value as " + in_quotes(*options.against, options.charset) + " gives it";
  }
  out << ("the " + std::string(1, set.flag) + " map " + in_quotes(*options.check, options.charset) +
          " (" + knots_text(map.knots) + ") is sound: six files in the layout of a map" + against)
      << '\n';
  write_on_axis_figures(map, kind, unscaled, options, out);
}

}  // namespace

void check_written_map(const command_options& options, char field_id, std::ostream& out) {
  const std::vector<map_set> sets = whole_sets(*options.check, field_id, options.charset);
  if (options.against && sets.size() > 1) {
    throw failure{"--against: " + in_quotes(*options.check, options.charset) +
                  " names both an E map and a B map, and a table gives one of them: give its "
                  "field flag after the base name, as in --check " +
                  *options.check + " B"};
  }
  for (const map_set& set : sets) check_set(set, options, out);
}

}  // namespace vort
