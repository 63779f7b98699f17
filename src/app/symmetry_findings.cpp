#include "app/symmetry_findings.hpp"

#include "app/dialogue.hpp"
#include "common/failure.hpp"
#include "input/plane_sides.hpp"

namespace vort {

void end_planes::take(const record_view& record, const knot_walk& knot) {
  if (record.number == 1) ends = {};
  const std::int32_t index[3] = {knot.i, knot.j, knot.k};
  for (std::size_t a = 0; a < 3; ++a) {
    if (index[a] == 0) take_knot(ends[a][0], record.values + 3, knot);
    if (index[a] == count_along(knot.counts, static_cast<int>(a)) - 1) {
      take_knot(ends[a][1], record.values + 3, knot);
    }
  }
}

namespace {

// Which components of the field vanish on a plane: what a wall there would force.
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

// The plane at an end of an axis as a conversion takes it: where a conversion would not
// place it there by itself, or only with a doubt, the proposal gives the end.
listed_plane plane_at_end(int a, wall_kind wall, bool axial, const table_axis& axis,
                          const end_planes& planes, bool first, double largest) {
  const plane_side end = first ? plane_side::first_knot : plane_side::last_knot;
  const side_choice choice =
      choose_side(planes.ends[static_cast<std::size_t>(a)], &axis, a, wall, axial, largest);
  if (choice.side == end && choice.doubt == side_doubt::none) return {a, wall};
  return {a, wall, end};
}

void propose(int a, wall_kind for_e, wall_kind for_b, const table_axis& axis,
             const end_planes& planes, bool first, double largest, symmetry_proposal& proposal) {
  proposal.for_e.push_back(plane_at_end(a, for_e, false, axis, planes, first, largest));
  proposal.for_b.push_back(plane_at_end(a, for_b, true, axis, planes, first, largest));
}

// An axis away from zero whose field vanishes on its other end plane and fits a wall on this
// one: a part cut at this end, the other end outside the structure (an upper half whose
// positions do not start at zero).
bool cut_away_from_zero(int a, const table_axis& axis, const end_planes& planes, bool first,
                        double largest) {
  if (starts_at_zero(axis) || ends_at_zero(axis) || holds_both_sides_of_zero(axis)) return false;
  if (axis.knots < 2 || axis.first == axis.last) return false;
  const auto& ends = planes.ends[static_cast<std::size_t>(a)];
  const vanishing here = vanishing_on(ends[first ? 0 : 1], a, largest);
  return (here == vanishing::normal || here == vanishing::tangential) &&
         vanishing_on(ends[first ? 1 : 0], a, largest) == vanishing::all;
}

// A line on the plane at an end of an axis (first or last knot), and what it proposes.
std::string plane_finding(int a, const table_axis& axis, const end_planes& planes, bool first,
                          double largest, symmetry_proposal& proposal) {
  const auto& ends = planes.ends[static_cast<std::size_t>(a)];
  const bool at_zero = first ? starts_at_zero(axis) : ends_at_zero(axis);
  const std::string where = std::string(axis_names[a]) + (first ? " starts" : " ends") + " at " +
                            (at_zero ? "0" : number_text(first ? axis.first : axis.last));
  const vanishing here = vanishing_on(ends[first ? 0 : 1], a, largest);
  if (here == vanishing::none) return where + ", where the field fits no wall";
  if (here == vanishing::all) {
    // Zero on the plane, the field fits either wall, and the images of the two differ in sign.
    propose(a, wall_kind::magnetic, wall_kind::magnetic, axis, planes, first, largest, proposal);
    return where + ", where the field vanishes: a symmetry plane whose wall E alone (or B " +
           "alone) cannot tell; the conversions take it magnetic, " +
           symmetry_text({{a, wall_kind::electric}}) + " where the solver set it electric";
  }
  const wall_kind for_e = wall_for(here, false), for_b = wall_for(here, true);
  const std::string plane =
      symmetry_text({{a, for_e}}) + " for E, " + symmetry_text({{a, for_b}}) + " for B";
  // A structure's own walls at both ends (a cavity from z = 0 to L) look like a plane here.
  if (vanishing_on(ends[first ? 1 : 0], a, largest) == here) {
    return where + ", where " + vanishing_text(here, a) + ", as it does at " + axis_names[a] +
           " = " + number_text(first ? axis.last : axis.first) +
           ": the structure's own walls, or a symmetry plane (" + plane + ")?";
  }
  propose(a, for_e, for_b, axis, planes, first, largest, proposal);
  return where + ", where " + vanishing_text(here, a) + ": " + a_wall(for_e) + " for E, " +
         a_wall(for_b) + " for B (" + plane + ")";
}

}  // namespace

std::vector<std::string> symmetry_findings(const std::array<table_axis, 3>& axes,
                                           const end_planes& planes, double largest,
                                           symmetry_proposal& proposal) {
  std::vector<std::string> findings;
  for (int a = 0; a < 3; ++a) {
    const table_axis& axis = axes[static_cast<std::size_t>(a)];
    for (const bool first : {true, false}) {
      const bool at_zero = first ? starts_at_zero(axis) : ends_at_zero(axis);
      if (!at_zero && !cut_away_from_zero(a, axis, planes, first, largest)) continue;
      findings.push_back(plane_finding(a, axis, planes, first, largest, proposal));
    }
  }
  return findings;
}

}  // namespace vort
