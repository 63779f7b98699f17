#include "input/mesh_check.hpp"

#include <cmath>

#include "common/failure.hpp"

namespace vort {
namespace {

bool differs(double mesh_value, double table_value, const table_axis& axis) {
  return !std::isnan(table_value) && std::fabs(mesh_value - table_value) > axis.tolerance;
}

}  // namespace

std::vector<mesh_disagreement> compare_mesh(const mesh_data& mesh,
                                            const std::array<table_axis, 3>& axes,
                                            const map_symmetry& symmetry) {
  std::vector<mesh_disagreement> first, step, last;
  for (std::size_t a = 0; a < 3; ++a) {
    const table_axis& axis = axes[a];
    const int n = static_cast<int>(a);
    if (differs(mesh.min[a], axis.first, axis)) {
      first.push_back({mesh_bound::min, n, mesh.min[a], axis.first, std::nullopt});
    }
    if (axis.knots > 1 && differs(mesh.step[a], axis.step, axis)) {
      step.push_back({mesh_bound::step, n, mesh.step[a], axis.step, std::nullopt});
    }
    // An axis doubled past its last knot may be given up to the plane or over the whole map.
    const bool doubled = symmetry.planes[a] && symmetry.planes[a]->side == plane_side::last_knot;
    const double whole = 2 * axis.last - axis.first;
    if (differs(mesh.max[a], axis.last, axis) && !(doubled && !differs(mesh.max[a], whole, axis))) {
      last.push_back({mesh_bound::max, n, mesh.max[a], axis.last,
                      doubled ? std::optional<double>(whole) : std::nullopt});
    }
  }
  first.insert(first.end(), step.begin(), step.end());
  first.insert(first.end(), last.begin(), last.end());
  return first;
}

mesh_data mesh_from_positions(const std::array<table_axis, 3>& axes, const std::string& ended_at) {
  mesh_data mesh;
  for (std::size_t a = 0; a < 3; ++a) {
    const auto axis = static_cast<std::int64_t>(a);
    const bool no_first = std::isnan(axes[a].first);
    if (no_first || std::isnan(axes[a].last)) {
      throw failure{
          fault::no_knot_position,
          "",
          0,
          {axis, std::int64_t{no_first}, no_first ? std::int64_t{1} : std::int64_t{axes[a].knots},
           no_first ? std::string() : ended_at}};
    }
    for (const double value : {axes[a].first, axes[a].last, axes[a].step}) {
      if (!(std::fabs(value) < single_overflow)) {
        throw failure{fault::positions_beyond_single, "", 0, {axis}};
      }
    }
    mesh.min[a] = static_cast<float>(axes[a].first);
    mesh.max[a] = static_cast<float>(axes[a].last);
    mesh.step[a] = static_cast<float>(axes[a].step);
  }
  return mesh;
}

}  // namespace vort
