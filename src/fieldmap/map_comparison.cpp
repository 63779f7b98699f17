#include "fieldmap/map_comparison.hpp"

#include <cstring>

#include "fieldmap/number_form.hpp"
#include "fieldmap/output_files.hpp"

namespace vort {
namespace {

constexpr std::size_t double_step = double_form.width + 1;

std::string trimmed(const char* field) {
  const std::string_view text(field, double_form.width);
  const std::size_t first = text.find_first_not_of(' ');
  return std::string(text.substr(first, text.find_last_not_of(' ') + 1 - first));
}

}  // namespace

std::unique_ptr<map_comparison> compare_with(const record_table& table, const field_kind& kind,
                                             const map_symmetry& symmetry) {
  auto comparison = std::make_unique<map_comparison>();
  comparison->layout = layout_of(table.counts, symmetry);
  body_group& group = comparison->group;
  group.table = &table;
  group.layout = &comparison->layout;
  group.x_runs = runs_of(comparison->layout.axes[0]);
  for (std::size_t u = 0; u < map_files; ++u) {
    group.files.push_back(
        {nullptr, file_roles[u].field, factors_of(file_roles[u], kind, symmetry)});
  }
  group.counter = nullptr;
  group.stop = &comparison->never_stop;
  return comparison;
}

body_line_check line_comparison(const map_comparison& comparison) {
  return [&comparison](std::size_t file, std::int64_t n, const char* text,
                       std::vector<char>& scratch) -> std::optional<map_fault> {
    const body_group& group = comparison.group;
    const std::size_t values = group.layout->axes[0].stored.size();
    const std::size_t line_bytes = values * double_step + 1;
    // Room for the line and for the field the writer keeps free ahead of each value.
    if (scratch.size() < line_bytes + max_field_width + 2) {
      scratch.resize(line_bytes + max_field_width + 2);
    }
    text_sink sink{nullptr, scratch.data(), scratch.size()};
    const auto lines_y = static_cast<std::int64_t>(group.layout->axes[1].stored.size());
    write_map_line(group, group.files[file], sink, n % lines_y, n / lines_y);
    if (std::memcmp(scratch.data(), text, line_bytes - 1) == 0) return std::nullopt;
    std::size_t v = 0;
    while (std::memcmp(scratch.data() + v * double_step, text + v * double_step, double_step) ==
           0) {
      ++v;
    }
    map_fault fault =
        fault_at(map_damage::value_differs, file, 0, static_cast<std::int64_t>(v) + 1);
    fault.text = trimmed(text + v * double_step + 1);
    fault.other = trimmed(scratch.data() + v * double_step + 1);
    return fault;
  };
}

}  // namespace vort
