#include "app/axis_report.hpp"

#include <cstddef>

#include "app/message_text.hpp"
#include "common/failure.hpp"

namespace vort {
namespace {

// Seven significant digits: a figure, read as single-precision values are.
std::string figure_text(double value) {
  return number_text(value, 7);
}

std::string with_unit(double value, const field_wording& field, const char* unit) {
  return figure_text(value) + (field.units ? std::string(" ") + unit : "");
}

// "|Ez|", or "|B|" for an axial field.
std::string peak_name(const field_wording& field) {
  return field.axial ? std::string("|") + field.letter + "|"
                     : std::string("|") + field.letter + "z|";
}

const char* peak_unit(const field_wording& field) {
  return field.axial ? "T" : "V/m";
}

std::string json_number(const std::optional<double>& value) {
  return value ? number_text(*value) : "null";
}

}  // namespace

rf_settings rf_of(const command_options& options) {
  return {options.frequency, options.beta.value_or(1)};
}

field_wording wording_of(const field_kind& unscaled) {
  if (unscaled.axial) return {'B', true, true};
  if (unscaled.scale != 1.0f) return {'F', false, false};
  return {'E', false, true};
}

std::vector<std::string> axis_report_lines(const axis_profile& profile,
                                           const on_axis_figures& figures,
                                           const field_wording& field, const rf_settings& rf) {
  std::vector<std::string> lines;
  const std::string z_range =
      profile.z.empty() ? std::string()
                        : ", z from " + number_text(static_cast<float>(profile.z.front())) +
                              " to " + number_text(static_cast<float>(profile.z.back())) + " m";
  lines.push_back("axis: x = " + number_text(profile.x) + ", y = " + number_text(profile.y) +
                  z_range + " (" + counted(static_cast<std::int64_t>(profile.z.size()), "knot") +
                  ")");
  lines.push_back("axis: largest " + peak_name(field) + " " +
                  with_unit(figures.peak, field, peak_unit(field)) +
                  " at z = " + number_text(static_cast<float>(figures.peak_z)) + " m");
  if (field.axial) return lines;
  lines.push_back("axis: integral of |" + std::string(1, field.letter) + "z| dz " +
                  with_unit(figures.integral_abs, field, "V"));
  if (figures.voltage && rf.frequency) {
    lines.push_back("axis: at f = " + number_text(*rf.frequency) +
                    " Hz, beta = " + number_text(rf.beta) + ": voltage " +
                    with_unit(*figures.voltage, field, "V") + " at the best phase" +
                    (figures.transit_time_factor
                         ? ", transit-time factor " + figure_text(*figures.transit_time_factor)
                         : ""));
  }
  return lines;
}

std::string axis_report_json(const axis_profile& profile, const on_axis_figures& figures,
                             const field_wording& field, const rf_settings& rf, int indent) {
  const std::string pad(static_cast<std::size_t>(indent) + 2, ' ');
  const std::string key = "\n" + pad + "\"";
  std::string text = "{";
  text += key + "x\": " + number_text(profile.x) + ",";
  text += key + "y\": " + number_text(profile.y) + ",";
  text += key + "knots\": " + std::to_string(profile.z.size()) + ",";
  text += key + "peak_of\": \"" + peak_name(field) + "\",";
  text += key + "peak\": " + number_text(figures.peak) + ",";
  text += key + "peak_z\": " + number_text(figures.peak_z) + ",";
  text += key + "integral_abs\": " +
          (field.axial ? std::string("null") : number_text(figures.integral_abs)) + ",";
  text += key + "frequency\": " + json_number(rf.frequency) + ",";
  text += key + "beta\": " + number_text(rf.beta) + ",";
  text += key + "voltage\": " + json_number(figures.voltage) + ",";
  text += key + "transit_time_factor\": " + json_number(figures.transit_time_factor);
  return text + "\n" + std::string(static_cast<std::size_t>(indent), ' ') + "}";
}

std::string profile_csv(const axis_profile& profile, const field_wording& field) {
  std::string text = "z";
  for (const char component : {'x', 'y', 'z'}) {
    for (const char* part : {"re_", "im_"}) {
      text += std::string(",") + part + field.letter + component;
    }
  }
  text += '\n';
  for (std::size_t n = 0; n < profile.z.size(); ++n) {
    text += number_text(profile.z[n]);
    for (const std::vector<double>& part : profile.parts) {
      text += ',';
      text += number_text(part[n]);
    }
    text += '\n';
  }
  return text;
}

std::string axis_outside_message(std::array<double, 2> at, bool given, const map_axes& axes) {
  const auto range = [&](int a) {
    const std::vector<float>& knots = axes.coordinates[static_cast<std::size_t>(a)];
    return std::string(axis_names[a]) + " from " + number_text(knots.front()) + " to " +
           number_text(knots.back());
  };
  const std::string line = "the line x = " + number_text(at[0]) + ", y = " + number_text(at[1]) +
                           " lies outside the map (" + range(0) + ", " + range(1) + ")";
  return given ? "--axis=" + number_text(at[0]) + "," + number_text(at[1]) + ": " + line
               : "the axis: " + line + "; give the axis as --axis=X,Y, in metres";
}

}  // namespace vort
