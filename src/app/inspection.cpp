#include "app/inspection.hpp"

#include "app/dialogue.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/failure.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"
#include "input/plane_sides.hpp"
#include "input/symmetry.hpp"
#include "input/table_file.hpp"
#include "input/wall_check.hpp"

namespace vort {
namespace {

constexpr const char* part_names[6] = {"Re Fx", "Im Fx", "Re Fy", "Im Fy", "Re Fz", "Im Fz"};

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

// The field on the first and last plane of knots of each axis, gathered in the pass that
// checks the grid; the pass starts again (record 1) when another grid is tried.
struct end_planes {
  std::array<std::array<plane_extremes, 2>, 3> ends;  // by axis: the first plane, the last

  void take(const record_view& record, const knot_walk& knot) {
    if (record.number == 1) ends = {};
    const std::int32_t index[3] = {knot.i, knot.j, knot.k};
    for (std::size_t a = 0; a < 3; ++a) {
      if (index[a] == 0) take_knot(ends[a][0], record.values + 3, knot);
      if (index[a] == count_along(knot.counts, static_cast<int>(a)) - 1) {
        take_knot(ends[a][1], record.values + 3, knot);
      }
    }
  }
};

// Which components of the field vanish on a plane: what a wall there would force. The field's
// kind is not known here, so both readings are given: the normal component vanishes at a
// magnetic wall for E and an electric one for B, the tangential ones the other way round.
enum class vanishing { none, normal, tangential, all };

vanishing vanishing_on(const plane_extremes& plane, int normal, double largest) {
  const bool normal_zero = fit_to_wall(plane, normal, wall_kind::magnetic, false, largest).fits;
  const bool tangential_zero = fit_to_wall(plane, normal, wall_kind::electric, false, largest).fits;
  if (normal_zero && tangential_zero) return vanishing::all;
  if (normal_zero) return vanishing::normal;
  return tangential_zero ? vanishing::tangential : vanishing::none;
}

// The wall that a plane where `what` vanishes is, for an E field or a B field.
wall_kind wall_for(vanishing what, bool axial) {
  return (what == vanishing::normal) != axial ? wall_kind::magnetic : wall_kind::electric;
}

std::string vanishing_text(vanishing what, int normal) {
  if (what == vanishing::normal) return std::string("F") + axis_names[normal] + " vanishes";
  const int first = normal == 0 ? 1 : 0, second = normal == 2 ? 1 : 2;
  return std::string("F") + axis_names[first] + " and F" + axis_names[second] + " vanish";
}

// The symmetry lists that the zero ends of the axes suggest, for an E and for a B field.
struct symmetry_proposal {
  symmetry_list for_e, for_b;
};

// A line on the plane at the zero end of an axis (first or last knot), and what it proposes.
std::string plane_finding(int a, const table_axis& axis, const end_planes& planes, bool first,
                          double largest, symmetry_proposal& proposal) {
  const auto& ends = planes.ends[static_cast<std::size_t>(a)];
  const std::string where = std::string(axis_names[a]) + (first ? " starts" : " ends") + " at 0";
  const vanishing here = vanishing_on(ends[first ? 0 : 1], a, largest);
  if (here == vanishing::none) return where + ", where the field fits no wall";
  if (here == vanishing::all) return where + ", where the field vanishes: no wall can be told";
  const wall_kind for_e = wall_for(here, false), for_b = wall_for(here, true);
  const std::string plane =
      symmetry_text({{a, for_e}}) + " for E, " + symmetry_text({{a, for_b}}) + " for B";
  // A structure's own walls at both ends (a cavity from z = 0 to L) look like a plane here.
  if (vanishing_on(ends[first ? 1 : 0], a, largest) == here) {
    return where + ", where " + vanishing_text(here, a) + ", as it does at " + axis_names[a] +
           " = " + number_text(first ? axis.last : axis.first) +
           ": the structure's own walls, or a symmetry plane (" + plane + ")?";
  }
  proposal.for_e.push_back({a, for_e});
  proposal.for_b.push_back({a, for_b});
  return where + ", where " + vanishing_text(here, a) + ": " + a_wall(for_e) + " for E, " +
         a_wall(for_b) + " for B (" + plane + ")";
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

}  // namespace

void inspect_table(const std::string& table_name, std::ostream& out) {
  const table_file table = open_table(table_name);
  field_extremes field;
  end_planes planes;
  const inferred_grid grid =
      infer_grid(table, [&](const record_view& record, const knot_walk& knot) {
        if (record.number == 1) field = {};
        take_field(field, record);
        planes.take(record, knot);
      });
  if (grid.fault) {
    throw failure{describe_break(table.name, *grid.fault) +
                  (grid.hint.empty() ? "" : "; " + grid.hint)};
  }
  if (!grid.reason.empty()) {
    throw failure{"the positions in " + in_quotes(table_name) + " form no grid: " + grid.reason};
  }
  const grid_counts counts = grid.counts;
  const std::array<table_axis, 3> axes = table_axes(grid.spread);
  const mesh_data mesh = mesh_from_positions(axes);
  line(out, "table: " + printable_item(table_name) + ", " + counted(grid.records, "record"));
  line(out, "grid: " + counts_text(counts) + " knots");
  for (std::size_t a = 0; a < 3; ++a) {
    line(out, std::string(axis_names[a]) + ": " + counted(axes[a].knots, "knot") + " from " +
                  number_text(mesh.min[a]) + " to " + number_text(mesh.max[a]) + ", step " +
                  number_text(mesh.step[a]));
  }
  std::string mesh_text;
  for (int n = 0; n < mesh_values; ++n) {
    if (!mesh_text.empty()) mesh_text += ',';
    mesh_text += number_text(typed_value(mesh, n));
  }
  line(out, "mesh: " + mesh_text);
  const double largest = *std::max_element(field.part_largest.begin(), field.part_largest.end());
  symmetry_proposal proposal;
  bool any_zero_end = false;
  for (int a = 0; a < 3; ++a) {
    const table_axis& axis = axes[static_cast<std::size_t>(a)];
    for (const bool first : {true, false}) {
      if (!(first ? starts_at_zero(axis) : ends_at_zero(axis))) continue;
      any_zero_end = true;
      line(out, "symmetry: " + plane_finding(a, axis, planes, first, largest, proposal));
    }
  }
  if (!any_zero_end) line(out, "symmetry: no axis starts or ends at 0: a whole structure?");
  std::string parts;
  for (std::size_t p = 0; p < 6; ++p) {
    parts += std::string(p == 0 ? "" : ", ") + "|" + part_names[p] + "| " +
             rough_text(field.part_largest[p]);
  }
  line(out, "field: largest |F| " + rough_text(field.largest) + " at knot " +
                knot_text(walk_from(counts, field.record - 1)) + "; largest " + parts);
  // A table named like an option needs "--" before the positional arguments.
  const std::string arguments = (table_name.front() == '-' ? " -- " : " ") +
                                std::to_string(counts.nx) + " " + std::to_string(counts.ny) + " " +
                                std::to_string(counts.nz) + " " + shell_word(table_name) +
                                " <base> ";
  if (proposal.for_e.empty()) {
    line(out, "convert: VORT2Pelta --mesh=auto --mirror=F" + arguments + "<E or B>");
  } else {
    line(out, "convert: VORT2Pelta --mesh=auto --symmetry=" + symmetry_text(proposal.for_e) +
                  arguments + "E");
    line(out, "convert: VORT2Pelta --mesh=auto --symmetry=" + symmetry_text(proposal.for_b) +
                  arguments + "B");
  }
}

}  // namespace vort
