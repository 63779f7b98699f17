#include "input/mesh_check.hpp"

#include <cmath>
#include <cstdio>

#include "common/failure.hpp"

namespace vort {
namespace {

constexpr const char* axis_names[3] = {"x", "y", "z"};

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

bool differs(double mesh_value, double table_value, const table_axis& axis) {
  return !std::isnan(table_value) && std::fabs(mesh_value - table_value) > axis.tolerance;
}

// "10 times smaller" when the mesh step is ten times the table's, and so on.
std::string ratio_text(double mesh_step, double table_step) {
  if (mesh_step == 0 || table_step == 0 || (mesh_step > 0) != (table_step > 0)) return "";
  const double ratio = mesh_step / table_step;
  return ratio > 1 ? " (" + number_text(ratio) + " times smaller)"
                   : " (" + number_text(1 / ratio) + " times larger)";
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

// One line for the axes where the mesh disagrees: what the mesh gives, then what the table
// has, e.g. "the mesh data give xmin = 0 m, the table's first x is -0.08".
struct mismatch_line {
  std::vector<std::string> mesh_side, table_side;
  void add(std::string mesh_clause, std::string table_clause) {
    mesh_side.push_back(std::move(mesh_clause));
    table_side.push_back(std::move(table_clause));
  }
  void emit(std::vector<std::string>& warnings) const {
    if (mesh_side.empty()) return;
    warnings.push_back("the mesh data give " + joined(mesh_side) + ", " + joined(table_side));
  }
};

}  // namespace

std::vector<std::string> compare_mesh(const mesh::mesh_data& mesh,
                                      const std::array<table_axis, 3>& axes, mirror_mode mode) {
  const float minima[3] = {mesh.xmin, mesh.ymin, mesh.zmin};
  const float maxima[3] = {mesh.xmax, mesh.ymax, mesh.zmax};
  const float steps[3] = {mesh.dx, mesh.dy, mesh.dz};
  mismatch_line first, step, last;
  for (std::size_t a = 0; a < 3; ++a) {
    const table_axis& axis = axes[a];
    const std::string name = axis_names[a];
    if (differs(minima[a], axis.first, axis)) {
      first.add(name + "min = " + number_text(minima[a]) + " m",
                "the table's first " + name + " is " + number_text(axis.first));
    }
    if (axis.knots > 1 && differs(steps[a], axis.step, axis)) {
      step.add("d" + name + " = " + number_text(steps[a]) + " m",
               "the table's " + name + " step is " + number_text(axis.step) +
                   ratio_text(steps[a], axis.step));
    }
    // The doubled axis may be given up to the mirror plane or over the whole map.
    const bool doubled = (mode == mirror_mode::yz && a == 0) || (mode == mirror_mode::xz && a == 1);
    const double whole = 2 * axis.last - axis.first;
    if (differs(maxima[a], axis.last, axis) && !(doubled && !differs(maxima[a], whole, axis))) {
      last.add(name + "max = " + number_text(maxima[a]) + " m",
               "the table's last " + name + " is " + number_text(axis.last) +
                   (doubled ? " (" + number_text(whole) + " over the whole map)" : ""));
    }
  }
  std::vector<std::string> warnings;
  first.emit(warnings);
  step.emit(warnings);
  last.emit(warnings);
  return warnings;
}

mesh::mesh_data mesh_from_positions(const std::array<table_axis, 3>& axes) {
  mesh::mesh_data mesh;
  float* const minima[3] = {&mesh.xmin, &mesh.ymin, &mesh.zmin};
  float* const maxima[3] = {&mesh.xmax, &mesh.ymax, &mesh.zmax};
  float* const steps[3] = {&mesh.dx, &mesh.dy, &mesh.dz};
  for (std::size_t a = 0; a < 3; ++a) {
    const std::string name = axis_names[a];
    if (std::isnan(axes[a].first) || std::isnan(axes[a].last)) {
      throw failure{"no record gives the position of the " +
                    std::string(std::isnan(axes[a].first) ? "first " : "last ") + name + " knot (" +
                    name + " knot " +
                    std::to_string(std::isnan(axes[a].first) ? 1 : axes[a].knots) +
                    "), so the positions give no mesh; is N" + name + " too large?"};
    }
    for (const double value : {axes[a].first, axes[a].last, axes[a].step}) {
      if (!(std::fabs(value) < mesh::single_overflow)) {
        throw failure{"the table's " + name + " positions lie beyond single precision"};
      }
    }
    *minima[a] = static_cast<float>(axes[a].first);
    *maxima[a] = static_cast<float>(axes[a].last);
    *steps[a] = static_cast<float>(axes[a].step);
  }
  return mesh;
}

}  // namespace vort
