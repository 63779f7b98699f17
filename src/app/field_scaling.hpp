// The factor of a run's values: the field flag's kind, its unit (--field-unit), and the scale
// given by --scale or worked out by --normalise from the field on the axis. The factor is
// the kind's single-precision factor times the scale, in double precision, rounded once to
// single precision; the real parts of a B map keep their sign rule.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.hpp"
#include "fieldmap/axis_profile.hpp"
#include "fieldmap/field_kind.hpp"

namespace vort {

// The kind of the flag in its unit, before any scale. Throws `failure` for a field unit or a
// normalised figure that the flag's field does not have.
field_kind unscaled_kind(char field_id, const command_options& options);

// The kind with its factor times `scale`. Throws `failure` where the factor is 0 or beyond
// single precision.
field_kind scaled_kind(const field_kind& kind, double scale, const std::string& source);

// The kind times --scale, where it is given.
field_kind kind_with_scale(const field_kind& unscaled, const command_options& options);

// Refuses a factor that takes the table's largest |value| beyond double precision: the map
// would hold infinities. `source` names the option that made the factor.
void check_scaled_values(const field_kind& scaled, double largest, const std::string& source);

// The scale that makes the normalised figure of the unscaled profile the wanted value.
// Throws `failure` where that figure is 0 on the axis.
double normalising_scale(const normalisation& wanted, const axis_profile& unscaled,
                         const field_kind& kind, const rf_settings& rf, name_charset charset);

// The echo's lines for the units and the factor, each only where its option was given.
std::vector<std::string> scaling_echo(const command_options& options, const field_kind& unscaled,
                                      const field_kind& scaled, double scale);

}  // namespace vort
