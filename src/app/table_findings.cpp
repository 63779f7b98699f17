#include "app/table_findings.hpp"

#include "common/failure.hpp"
#include "common/grid.hpp"

namespace vort {
namespace {

// Six significant digits: a warning compares, it does not quote.
std::string rounded(double value) {
  return number_text(value, 6);
}

// "10 times smaller" when the mesh step is ten times the table's, and so on.
std::string ratio_text(double mesh_step, double table_step) {
  if (mesh_step == 0 || table_step == 0 || (mesh_step > 0) != (table_step > 0)) return "";
  const double ratio = mesh_step / table_step;
  return ratio > 1 ? " (" + rounded(ratio) + " times smaller)"
                   : " (" + rounded(1 / ratio) + " times larger)";
}

// Clauses joined: "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& clauses) {
  std::string text;
  for (std::size_t n = 0; n < clauses.size(); ++n) {
    if (n > 0) text += n + 1 == clauses.size() ? " and " : ", ";
    text += clauses[n];
  }
  return text;
}

std::string mesh_clause(const mesh_disagreement& d, const std::string& unit) {
  const std::string name = axis_names[d.axis];
  const std::string value = rounded(d.mesh_value) + " " + unit;
  switch (d.bound) {
    case mesh_bound::min:
      return name + "min = " + value;
    case mesh_bound::step:
      return "d" + name + " = " + value;
    case mesh_bound::max:
      return name + "max = " + value;
  }
  return "";
}

std::string table_clause(const mesh_disagreement& d) {
  const std::string name = axis_names[d.axis];
  switch (d.bound) {
    case mesh_bound::min:
      return "the table's first " + name + " is " + rounded(d.table_value);
    case mesh_bound::step:
      return "the table's " + name + " step is " + rounded(d.table_value) +
             ratio_text(d.mesh_value, d.table_value);
    case mesh_bound::max:
      return "the table's last " + name + " is " + rounded(d.table_value) +
             (d.whole_map ? " (" + rounded(*d.whole_map) + " over the whole map)" : "");
  }
  return "";
}

}  // namespace

std::string describe_break(const std::string& table_name, const grid_break& at,
                           name_charset charset) {
  const std::string axis = axis_names[at.axis];
  std::string text = printable_item(table_name, charset) + ":" + std::to_string(at.line) +
                     ": record " + std::to_string(at.record) + " is at " + axis + " = " +
                     number_text(at.position) + " but ";
  if (at.kind == break_kind::spread) {
    text += "knot " + knot_text(at.knot) + " of a " + counts_text(at.knot.counts) +
            " grid shares " + axis + " with record " + std::to_string(at.first_of_index) + " (" +
            axis + " = " + number_text(at.expected) + ")";
  } else {
    text += "the " + axis + " knots of a " + counts_text(at.knot.counts) +
            " grid are evenly spaced from " + number_text(at.along.first) + " to " +
            number_text(at.along.last) + ", which puts knot " + knot_text(at.knot) + " at " + axis +
            " = " + number_text(at.expected, 6);
  }
  if (at.fitting) text += "; the positions fit a grid of " + counts_text(*at.fitting) + " knots";
  return text;
}

checked_positions check_table_positions(const table_file& table, const position_spread& spread,
                                        std::int64_t records,
                                        const std::optional<grid_counts>& inferred,
                                        name_charset charset) {
  const position_verdict verdict = check_positions(table, spread, records, inferred);
  if (verdict.fault) throw failure{describe_break(table.name, *verdict.fault, charset)};
  return {verdict.axes, !positions_all_zero(spread)};
}

std::string no_grid_message(const inferred_grid& grid, const std::string& table_name,
                            name_charset charset) {
  if (grid.fault) {
    return describe_break(table_name, *grid.fault, charset) +
           (grid.x_listed_fastest
                ? "; x changes from the first record to the second: the table seems to list x "
                  "fastest, and records must list z fastest, x slowest"
                : "");
  }
  const std::string start =
      "the positions in " + in_quotes(table_name, charset) + " form no grid: ";
  switch (grid.reason) {
    case no_grid_reason::none:
      return "";
    case no_grid_reason::no_records:
      return start + "it holds no records";
    case no_grid_reason::plane_not_whole_lines:
      return start + "the first " + counted(grid.plane_records, "record") +
             " share x, which is not a whole number of z lines of " +
             counted(grid.line_records, "record");
    case no_grid_reason::records_not_whole_planes:
      return start + "its " + counted(grid.records, "record") +
             " are not a whole number of x planes of " + counted(grid.plane_records, "record");
    case no_grid_reason::too_many_records:
      return start + "it holds more records than a grid may have knots";
  }
  return "";
}

std::string unreadable_number_text(std::string_view item, item_error error, std::int64_t value,
                                   const std::string& of_what, name_charset charset) {
  const std::string reason =
      error == item_error::out_of_range ? ": it is too large for a double"
      : error == item_error::too_long
          ? ": it is longer than " + std::to_string(longest_real_item) + " characters"
          : "";
  return "cannot read \"" + printable_item(item, charset) + "\" as a number" + reason + " (value " +
         std::to_string(value) + " of " + of_what + ")";
}

std::string unreadable_number_text(const bad_item& bad, const std::string& of_what,
                                   name_charset charset) {
  return unreadable_number_text(bad.text, bad.error, bad.value_index + 1, of_what, charset);
}

std::vector<std::string> mesh_disagreement_lines(const std::vector<mesh_disagreement>& found,
                                                 const std::string& unit) {
  std::vector<std::string> lines;
  for (const mesh_bound bound : {mesh_bound::min, mesh_bound::step, mesh_bound::max}) {
    std::vector<std::string> mesh_side, table_side;
    for (const mesh_disagreement& d : found) {
      if (d.bound != bound) continue;
      mesh_side.push_back(mesh_clause(d, unit));
      table_side.push_back(table_clause(d));
    }
    if (!mesh_side.empty()) {
      lines.push_back("the mesh data give " + joined(mesh_side) + ", " + joined(table_side));
    }
  }
  return lines;
}

}  // namespace vort
