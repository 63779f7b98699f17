#include "app/inspection.hpp"

#include <array>
#include <cmath>

#include "common/failure.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"
#include "input/table_file.hpp"

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

// The mirror a half table is made for: its last x (YZ) or y (XZ) knot on the plane 0.
char guessed_mirror(const std::array<table_axis, 3>& axes) {
  const auto ends_at_zero = [](const table_axis& axis) {
    return axis.knots > 1 && std::fabs(axis.last) <= axis.tolerance;
  };
  if (ends_at_zero(axes[0])) return 'Y';
  if (ends_at_zero(axes[1])) return 'X';
  return 'F';
}

std::string mirror_line(char mirror) {
  if (mirror == 'Y') return "mirror: x ends at 0: a half table for a YZ mirror (answer Y)?";
  if (mirror == 'X') return "mirror: y ends at 0: a half table for an XZ mirror (answer X)?";
  return "mirror: neither x nor y ends at 0: a whole table (answer F)?";
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
  const inferred_grid grid =
      infer_grid(table, [&](const record_view& record) { take_field(field, record); });
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
  const char mirror = guessed_mirror(axes);
  line(out, mirror_line(mirror));
  std::string parts;
  for (std::size_t p = 0; p < 6; ++p) {
    parts += std::string(p == 0 ? "" : ", ") + "|" + part_names[p] + "| " +
             rough_text(field.part_largest[p]);
  }
  line(out, "field: largest |F| " + rough_text(field.largest) + " at knot " +
                knot_text(walk_from(counts, field.record - 1)) + "; largest " + parts);
  // A table named like an option needs "--" before the positional arguments.
  line(out, "convert: VORT2Pelta --mesh=auto --mirror=" + std::string(1, mirror) +
                (table_name.front() == '-' ? " -- " : " ") + std::to_string(counts.nx) + " " +
                std::to_string(counts.ny) + " " + std::to_string(counts.nz) + " " +
                shell_word(table_name) + " <base> <E or B>");
}

}  // namespace vort
