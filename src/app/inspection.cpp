#include "app/inspection.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <new>

#include "app/axis_report.hpp"
#include "app/failure_text.hpp"
#include "app/json_text.hpp"
#include "app/symmetry_findings.hpp"
#include "app/table_findings.hpp"
#include "common/failure.hpp"
#include "common/memory_budget.hpp"
#include "fieldmap/converted_profile.hpp"
#include "fieldmap/map_axes.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"
#include "input/piped_table.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "input/wall_check.hpp"

namespace vort {
namespace {

// A table's values as they are: of no known field, in no known unit.
constexpr field_wording table_wording{'F', false, false};

constexpr const char* json_part_names[6] = {"re_fx", "im_fx", "re_fy", "im_fy", "re_fz", "im_fz"};

// Three significant digits: a summary of the field, not its values.
std::string rough_text(double value) {
  return number_text(value, 3);
}

// The largest field magnitude and where it is, and the largest of each part.
struct field_extremes {
  double largest = -1;
  std::int64_t record = 0;
  std::array<double, 6> part_largest{};
};

// |F| over the six parts, scaled by the largest before squaring, so that neither values near
// the largest double overflow nor subnormal ones vanish.
double magnitude_of(const double* parts) {
  double largest = 0;
  for (int p = 0; p < 6; ++p) largest = std::max(largest, std::fabs(parts[p]));
  if (largest == 0 || !std::isfinite(largest)) return largest;
  double sum = 0;
  for (int p = 0; p < 6; ++p) sum += (parts[p] / largest) * (parts[p] / largest);
  return largest * std::sqrt(sum);
}

void take_field(field_extremes& field, const record_view& record) {
  for (std::size_t p = 0; p < 6; ++p) {
    field.part_largest[p] = std::max(field.part_largest[p], std::fabs(record.values[3 + p]));
  }
  const double magnitude = magnitude_of(record.values + 3);
  if (magnitude > field.largest) {
    field.largest = magnitude;
    field.record = record.number;
  }
}

// The name as a shell reads it back.
std::string shell_word(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789._/+-") == std::string::npos;
  if (plain) return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void line(std::ostream& out, const std::string& text) {
  out << text << '\n';
}

// What an inspection finds: the grid, its axes, the mesh to answer, the symmetry planes the
// field suggests, the field.
struct table_description {
  std::string table_name;  // as given
  std::int64_t records = 0;
  grid_counts counts;
  std::array<table_axis, 3> axes;
  mesh_data mesh;
  std::vector<std::string> symmetry;  // the findings on the planes at zero
  symmetry_proposal proposal;
  field_extremes field;
  std::string unit_option;  // " --length-unit=mm" for the commands, or ""
  // The field on the axis, where the line meets the table; else why it does not.
  std::optional<axis_profile> profile;
  on_axis_figures figures;
  rf_settings rf;
  std::string axis_missed;
  name_charset charset = name_charset::ascii;
};

// The profile of the table's values along the axis: the table read again into memory, with
// the axes its positions give in metres, no symmetry plane, and the values as they are.
void take_axis(table_description& found, const table_file& table, const command_options& options) {
  record_table rows;
  const std::string no_room = "the table does not fit in memory, which the field on the axis needs";
  try {
    check_memory_budget(table_bytes(found.counts), memory_room());
    rows = allocate_record_table(found.counts);
    read_table(table, rows);
  } catch (const failure& refusal) {
    // The description stands without the axis: it streamed the table in little memory.
    if (refusal.code != fault::out_of_memory) throw;
    found.axis_missed = no_room;
    return;
  } catch (const std::bad_alloc&) {
    found.axis_missed = no_room;
    return;
  }
  const double per_metre = options.length ? options.length->per_metre : 1;
  map_axes axes;
  try {
    axes = build_map_axes(found.counts, mesh_in_metres(found.mesh, per_metre), map_symmetry{});
  } catch (const failure& no_axes) {
    // Positions that put knots at one place (all zero, say) place no line: the description
    // stands, and says why the axis is missing, unless an axis was asked for.
    if (options.axis) throw;
    found.axis_missed = failure_text(no_axes, found.charset);
    return;
  }
  const std::array<double, 2> at = options.axis.value_or(std::array<double, 2>{0, 0});
  found.profile =
      converted_profile(rows, select_field_kind('E'), map_symmetry{}, axes, at[0], at[1]);
  found.rf = {options.frequency, options.beta.value_or(1)};
  if (found.profile) {
    found.figures = figures_of(*found.profile, false, found.rf);
    return;
  }
  found.axis_missed = axis_outside_message(at, options.axis.has_value(), axes);
  if (options.axis) throw failure{found.axis_missed};
}

table_description describe_table(const std::string& table_name, const command_options& options,
                                 name_charset charset) {
  const table_file table = open_table_or_input(table_name, max_knots);
  table_description found;
  end_planes planes;
  const inferred_grid grid =
      infer_grid(table, [&](const record_view& record, const knot_walk& knot) {
        if (record.number == 1) found.field = {};
        take_field(found.field, record);
        planes.take(record, knot);
      });
  const std::string refusal = no_grid_message(grid, table.name, charset);
  if (!refusal.empty()) throw failure{refusal};
  found.table_name = table_name;
  found.charset = charset;
  found.records = grid.records;
  found.counts = grid.counts;
  found.axes = table_axes(grid.spread);
  found.mesh = mesh_from_positions(found.axes);
  const double largest =
      *std::max_element(found.field.part_largest.begin(), found.field.part_largest.end());
  found.symmetry = symmetry_findings(found.axes, planes, largest, found.proposal);
  if (options.length) found.unit_option = " --length-unit=" + options.length->name;
  take_axis(found, table, options);
  return found;
}

// The nine values as the first answer is typed, each the shortest text of its value.
std::string mesh_text(const mesh_data& mesh) {
  std::string text;
  for (int n = 0; n < mesh_values; ++n) {
    if (!text.empty()) text += ',';
    text += number_text(typed_value(mesh, n));
  }
  return text;
}

void write_text(const table_description& found, std::ostream& out) {
  const grid_counts counts = found.counts;
  const mesh_data& mesh = found.mesh;
  line(out, "table: " + printable_item(found.table_name, found.charset) + ", " +
                counted(found.records, "record"));
  line(out, "grid: " + counts_text(counts) + " knots");
  for (std::size_t a = 0; a < 3; ++a) {
    line(out, std::string(axis_names[a]) + ": " + counted(found.axes[a].knots, "knot") + " from " +
                  number_text(mesh.min[a]) + " to " + number_text(mesh.max[a]) + ", step " +
                  number_text(mesh.step[a]));
  }
  line(out, "mesh: " + mesh_text(mesh));
  for (const std::string& finding : found.symmetry) line(out, "symmetry: " + finding);
  if (found.symmetry.empty())
    line(out, "symmetry: no axis starts or ends at 0: a whole structure?");
  std::string parts;
  for (std::size_t p = 0; p < 6; ++p) {
    parts += std::string(p == 0 ? "" : ", ") + "|" + field_part_name(static_cast<int>(p), 'F') +
             "| " + rough_text(found.field.part_largest[p]);
  }
  line(out, "field: largest |F| " + rough_text(found.field.largest) + " at knot " +
                knot_text(walk_from(counts, found.field.record - 1)) + "; largest " + parts);
  if (found.profile) {
    for (const std::string& text :
         axis_report_lines(*found.profile, found.figures, table_wording, found.rf)) {
      line(out, text);
    }
  } else {
    line(out, "axis: " + found.axis_missed);
  }
  // A table named like an option needs "--" before the positional arguments.
  const std::string arguments = (found.table_name.front() == '-' ? " -- " : " ") +
                                std::to_string(counts.nx) + " " + std::to_string(counts.ny) + " " +
                                std::to_string(counts.nz) + " " + shell_word(found.table_name) +
                                " <base> ";
  const symmetry_proposal& proposal = found.proposal;
  if (proposal.for_e.empty()) {
    line(out, "convert: VORT2Pelta" + found.unit_option + " --mesh=auto --mirror=F" + arguments +
                  "<E or B>");
  } else {
    line(out, "convert: VORT2Pelta" + found.unit_option +
                  " --mesh=auto --symmetry=" + symmetry_text(proposal.for_e) + arguments + "E");
    line(out, "convert: VORT2Pelta" + found.unit_option +
                  " --mesh=auto --symmetry=" + symmetry_text(proposal.for_b) + arguments + "B");
  }
}

std::string json_list(std::initializer_list<std::string> items) {
  std::string list;
  for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
  return "[" + list + "]";
}

void write_json(const table_description& found, std::ostream& out) {
  const grid_counts counts = found.counts;
  const mesh_data& mesh = found.mesh;
  const knot_walk peak = walk_from(counts, found.field.record - 1);
  std::string axes;
  for (std::size_t a = 0; a < 3; ++a) {
    axes += std::string(a == 0 ? "" : ",\n") + "    \"" + axis_names[a] +
            "\": {\"knots\": " + std::to_string(found.axes[a].knots) +
            ", \"first\": " + number_text(mesh.min[a]) + ", \"last\": " + number_text(mesh.max[a]) +
            ", \"step\": " + number_text(mesh.step[a]) + "}";
  }
  std::string largest = "    \"magnitude\": " + number_text(found.field.largest) +
                        ",\n    \"knot\": " +
                        json_list({std::to_string(peak.i + 1), std::to_string(peak.j + 1),
                                   std::to_string(peak.k + 1)});
  for (std::size_t p = 0; p < 6; ++p) {
    largest += std::string(",\n    \"") + json_part_names[p] +
               "\": " + number_text(found.field.part_largest[p]);
  }
  // The lists to convert with, for an E and for a B field: the walls differ.
  const symmetry_proposal& proposal = found.proposal;
  const std::string symmetry =
      proposal.for_e.empty() ? "null"
                             : "{\"E\": " + json_string(symmetry_text(proposal.for_e)) +
                                   ", \"B\": " + json_string(symmetry_text(proposal.for_b)) + "}";
  out << "{\n  \"table\": " << json_string(found.table_name)
      << ",\n  \"records\": " << found.records << ",\n  \"counts\": "
      << json_list(
             {std::to_string(counts.nx), std::to_string(counts.ny), std::to_string(counts.nz)})
      << ",\n  \"axes\": {\n"
      << axes << "\n  },\n  \"mesh\": " << json_string(mesh_text(mesh))
      << ",\n  \"symmetry\": " << symmetry << ",\n  \"largest\": {\n"
      << largest << "\n  },\n  \"axis\": "
      << (found.profile
              ? axis_report_json(*found.profile, found.figures, table_wording, found.rf, 2)
              : std::string("null"))
      << "\n}\n";
}

}  // namespace

void inspect_table(const std::string& table_name, const command_options& options, std::ostream& out,
                   name_charset charset) {
  if (!options.json) {
    write_text(describe_table(table_name, options, charset), out);
    return;
  }
  try {
    write_json(describe_table(table_name, options, charset), out);
  } catch (const failure& refusal) {
    // A script reads what went wrong where it reads the description, too.
    out << "{\n  \"table\": " << json_string(table_name)
        << ",\n  \"error\": " << json_string(failure_text(refusal, charset)) << "\n}\n";
    throw;
  }
}

}  // namespace vort
