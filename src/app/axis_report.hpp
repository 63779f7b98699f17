// The field on the axis in words: the figures of a profile as lines of text, as JSON, and the
// profile itself as CSV. A conversion's report, --inspect and the check of a written map
// word them alike.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "fieldmap/axis_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"

namespace vort {

// What the values are: the field's letter (E, B, or F for a table of no known kind), whether
// it is axial (B: the figures are of |B|), and whether they carry units (V/m, T): a map's do,
// a table's as inspected do not.
struct field_wording {
  char letter = 'E';
  bool axial = false;
  bool units = true;
};

// "axis: ..." lines: where the line is, the largest value and where, the integral, and with
// a frequency the voltage and transit-time factor.
std::vector<std::string> axis_report_lines(const axis_profile& profile,
                                           const on_axis_figures& figures,
                                           const field_wording& field, const rf_settings& rf);

// The same as one JSON object, indented by `indent` spaces; null for what was not worked out.
std::string axis_report_json(const axis_profile& profile, const on_axis_figures& figures,
                             const field_wording& field, const rf_settings& rf, int indent);

// A header line, then z and the real and imaginary part of each component at every z knot,
// each number the shortest text that reads back as the same double.
std::string profile_csv(const axis_profile& profile, const field_wording& field);

// The frequency and beta of the figures on the axis, as the options give them.
rf_settings rf_of(const command_options& options);

// How a map words its figures, from the flag's kind before any --scale: E in V/m, B in T, and
// the values of any other flag (the table's times mu0, written as .ex files, of no known unit)
// as F without a unit.
field_wording wording_of(const field_kind& unscaled);

// Why the line at `at` cannot be the axis: it misses the map's x or y axis. `given`: it came
// from --axis, else it is the default x = 0, y = 0.
std::string axis_outside_message(std::array<double, 2> at, bool given, const map_axes& axes);

}  // namespace vort
