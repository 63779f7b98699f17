#include "input/mesh_check.hpp"

#include <cmath>

#include "common/failure.hpp"

namespace vort {
namespace {

// Six significant digits: a warning compares, it does not quote.
std::string rounded(double value) {
  return number_text(value, 6);
}

bool differs(double mesh_value, double table_value, const table_axis& axis) {
  return !std::isnan(table_value) && std::fabs(mesh_value - table_value) > axis.tolerance;
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

std::vector<std::string> compare_mesh(const mesh_data& mesh, const std::array<table_axis, 3>& axes,
                                      const map_symmetry& symmetry, const std::string& unit) {
  mismatch_line first, step, last;
  for (std::size_t a = 0; a < 3; ++a) {
    const table_axis& axis = axes[a];
    const std::string name = axis_names[a];
    if (differs(mesh.min[a], axis.first, axis)) {
      first.add(name + "min = " + rounded(mesh.min[a]) + " " + unit,
                "the table's first " + name + " is " + rounded(axis.first));
    }
    if (axis.knots > 1 && differs(mesh.step[a], axis.step, axis)) {
      step.add("d" + name + " = " + rounded(mesh.step[a]) + " " + unit,
               "the table's " + name + " step is " + rounded(axis.step) +
                   ratio_text(mesh.step[a], axis.step));
    }
    // An axis doubled past its last knot may be given up to the plane or over the whole map.
    const bool doubled = symmetry.planes[a] && symmetry.planes[a]->side == plane_side::last_knot;
    const double whole = 2 * axis.last - axis.first;
    if (differs(mesh.max[a], axis.last, axis) && !(doubled && !differs(mesh.max[a], whole, axis))) {
      last.add(name + "max = " + rounded(mesh.max[a]) + " " + unit,
               "the table's last " + name + " is " + rounded(axis.last) +
                   (doubled ? " (" + rounded(whole) + " over the whole map)" : ""));
    }
  }
  std::vector<std::string> warnings;
  first.emit(warnings);
  step.emit(warnings);
  last.emit(warnings);
  return warnings;
}

mesh_data mesh_from_positions(const std::array<table_axis, 3>& axes, const std::string& ended_at) {
  mesh_data mesh;
  for (std::size_t a = 0; a < 3; ++a) {
    const std::string name = axis_names[a];
    const bool no_first = std::isnan(axes[a].first);
    if (no_first || std::isnan(axes[a].last)) {
      throw failure{"no record gives the position of the " +
                    std::string(no_first ? "first " : "last ") + name + " knot (" + name +
                    " knot " + std::to_string(no_first ? 1 : axes[a].knots) +
                    "), so the positions give no mesh" +
                    (no_first || ended_at.empty()
                         ? "; is N" + name + " too large?"
                         : ": the table ends early at knot " + ended_at + " and may be cut short")};
    }
    for (const double value : {axes[a].first, axes[a].last, axes[a].step}) {
      if (!(std::fabs(value) < single_overflow)) {
        throw failure{"the table's " + name + " positions lie beyond single precision"};
      }
    }
    mesh.min[a] = static_cast<float>(axes[a].first);
    mesh.max[a] = static_cast<float>(axes[a].last);
    mesh.step[a] = static_cast<float>(axes[a].step);
  }
  return mesh;
}

}  // namespace vort
