#include "app/inspection.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/failure.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"

namespace vort {
namespace {

constexpr const char* axis_names[3] = {"x", "y", "z"};
constexpr const char* part_names[6] = {"Re Fx", "Im Fx", "Re Fy", "Im Fy", "Re Fz", "Im Fz"};

// The shortest text that reads back as the same single-precision value: what a user types.
std::string single_text(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string rough_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

// The largest field magnitude and where it is, and the largest of each part.
struct field_extremes {
  double largest = -1;
  std::int64_t record = 0;
  std::array<double, 6> part_largest{};
};

void take_field(field_extremes& field, const record_view& record) {
  double sum = 0;
  for (std::size_t p = 0; p < 6; ++p) {
    const double value = std::fabs(record.values[3 + p]);
    sum += value * value;
    field.part_largest[p] = std::max(field.part_largest[p], value);
  }
  if (sum > field.largest) {
    field.largest = sum;
    field.record = record.number;
  }
}

std::string knot_of_record(std::int64_t record, grid_counts counts) {
  const std::int64_t r = record - 1, plane = std::int64_t{counts.ny} * counts.nz;
  return knot_text(r / plane, r % plane / counts.nz, r % counts.nz);
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
  field_extremes field;
  const inferred_grid grid =
      infer_grid(table_name, [&](const record_view& record) { take_field(field, record); });
  if (!grid.reason.empty()) {
    if (grid.reason.rfind(printable_item(table_name) + ":", 0) == 0) throw failure{grid.reason};
    throw failure{"the positions in " + in_quotes(table_name) + " form no grid: " + grid.reason};
  }
  const grid_counts counts = grid.counts;
  const std::array<table_axis, 3> axes = table_axes(grid.spread);
  const mesh::mesh_data mesh = mesh_from_positions(axes);
  line(out, "table: " + printable_item(table_name) + ", " + counted(grid.records, "record"));
  line(out, "grid: " + counts_text(counts) + " knots");
  const float minima[3] = {mesh.xmin, mesh.ymin, mesh.zmin};
  const float maxima[3] = {mesh.xmax, mesh.ymax, mesh.zmax};
  const float steps[3] = {mesh.dx, mesh.dy, mesh.dz};
  std::string mesh_text;
  for (std::size_t a = 0; a < 3; ++a) {
    line(out, std::string(axis_names[a]) + ": " + counted(axes[a].knots, "knot") + " from " +
                  single_text(minima[a]) + " to " + single_text(maxima[a]) + ", step " +
                  single_text(steps[a]));
  }
  for (const float value : {mesh.xmin, mesh.ymin, mesh.zmin, mesh.xmax, mesh.ymax, mesh.zmax,
                            mesh.dx, mesh.dy, mesh.dz}) {
    if (!mesh_text.empty()) mesh_text += ',';
    mesh_text += single_text(value);
  }
  line(out, "mesh: " + mesh_text);
  const char mirror = guessed_mirror(axes);
  line(out, mirror_line(mirror));
  std::string parts;
  for (std::size_t p = 0; p < 6; ++p) {
    parts += std::string(p == 0 ? "" : ", ") + "|" + part_names[p] + "| " +
             rough_text(field.part_largest[p]);
  }
  line(out, "field: largest |F| " + rough_text(std::sqrt(field.largest)) + " at knot " +
                knot_of_record(field.record, counts) + "; largest " + parts);
  // A table named like an option needs "--" before the positional arguments.
  line(out, "convert: VORT2Pelta --mesh=auto --mirror=" + std::string(1, mirror) +
                (table_name.front() == '-' ? " -- " : " ") + std::to_string(counts.nx) + " " +
                std::to_string(counts.ny) + " " + std::to_string(counts.nz) + " " +
                shell_word(table_name) + " <base> <E or B>");
}

}  // namespace vort
