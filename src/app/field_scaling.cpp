#include "app/field_scaling.hpp"

#include <cmath>

#include "app/message_text.hpp"
#include "common/failure.hpp"

namespace vort {
namespace {

const char* figure_name(normalised_figure figure) {
  switch (figure) {
    case normalised_figure::peak:
      return "the largest |Ez|";
    case normalised_figure::voltage:
      return "the voltage";
    case normalised_figure::gradient:
      return "the gradient";
    case normalised_figure::peak_b:
      return "the largest |B|";
  }
  return "";
}

}  // namespace

field_kind unscaled_kind(char field_id, const command_options& options) {
  field_kind kind = select_field_kind(field_id);
  if (options.field_in_tesla && !kind.axial) {
    throw failure{std::string("--field-unit goes with the field flag B: the flag ") + field_id +
                  " has no unit to choose"};
  }
  if (options.field_in_tesla.value_or(false)) kind.scale = 1.0f;  // B already: no mu0
  if (options.normalise) {
    const bool of_b = options.normalise->figure == normalised_figure::peak_b;
    if (of_b && !kind.axial) {
      throw failure{"--normalise=" + printable_item(options.normalise->text, options.charset) +
                    " goes with the field flag B"};
    }
    if (!of_b && kind.axial) {
      throw failure{"--normalise=" + printable_item(options.normalise->text, options.charset) +
                    " is a figure of Ez, which a B map does not hold: give peak-b:VALUE"};
    }
  }
  return kind;
}

field_kind scaled_kind(const field_kind& kind, double scale, const std::string& source) {
  const double product = static_cast<double>(kind.scale) * scale;
  const auto factor = static_cast<float>(product);
  if (!std::isfinite(factor) || factor == 0) {
    throw failure{source + ": the factor " + number_text(product, 7) +
                  " lies beyond single precision"};
  }
  field_kind scaled = kind;
  scaled.scale = factor;
  return scaled;
}

field_kind kind_with_scale(const field_kind& unscaled, const command_options& options) {
  if (!options.scale) return unscaled;
  return scaled_kind(unscaled, *options.scale, "--scale=" + number_text(*options.scale));
}

void check_scaled_values(const field_kind& scaled, double largest, const std::string& source) {
  if (std::isfinite(largest * std::fabs(static_cast<double>(scaled.scale)))) return;
  throw failure{source + ": the factor " + number_text(scaled.scale) +
                " takes the table's largest value, " + number_text(largest) +
                ", beyond double precision"};
}

double normalising_scale(const normalisation& wanted, const axis_profile& unscaled,
                         const field_kind& kind, const rf_settings& rf, name_charset charset) {
  const on_axis_figures figures = figures_of(unscaled, kind.axial, rf);
  double figure = 0;
  switch (wanted.figure) {
    case normalised_figure::peak:
    case normalised_figure::peak_b:
      figure = figures.peak;
      break;
    case normalised_figure::voltage:
      figure = figures.voltage.value_or(0);
      break;
    case normalised_figure::gradient: {
      const double length =
          unscaled.z.empty() ? 0 : std::fabs(unscaled.z.back() - unscaled.z.front());
      figure = length > 0 ? figures.voltage.value_or(0) / length : 0;
      break;
    }
  }
  if (!(figure > 0) || !std::isfinite(figure)) {
    throw failure{"--normalise=" + printable_item(wanted.text, charset) + ": " +
                  figure_name(wanted.figure) + " on the axis x = " + number_text(unscaled.x) +
                  ", y = " + number_text(unscaled.y) + " is zero; nothing scales it"};
  }
  return wanted.value / figure;
}

std::vector<std::string> scaling_echo(const command_options& options, const field_kind& unscaled,
                                      const field_kind& scaled, double scale) {
  std::vector<std::string> lines;
  if (options.length) lines.push_back("length unit: " + options.length->name + ", the map in m");
  if (options.field_in_tesla) {
    lines.push_back(*options.field_in_tesla ? "field unit: T, written without mu0"
                                            : "field unit: A/m, scaled by mu0");
  }
  if (options.scale || options.normalise) {
    const std::string source =
        options.normalise
            ? " of --normalise=" + printable_item(options.normalise->text, options.charset)
            : "";
    lines.push_back("factor: " + number_text(scaled.scale) + " (" + number_text(unscaled.scale) +
                    " times the scale " + number_text(scale) + source + ")");
  }
  return lines;
}

}  // namespace vort
