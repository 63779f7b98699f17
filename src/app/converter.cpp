#include "app/converter.hpp"

#include <exception>
#include <new>
#include <optional>

#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "app/inspection.hpp"
#include "common/failure.hpp"
#include "common/memory_budget.hpp"
#include "common/parallel_parts.hpp"
#include "fieldmap/body_writer.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/output_files.hpp"
#include "input/line_counter.hpp"
#include "input/mesh_check.hpp"
#include "input/position_check.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "preview/picture.hpp"
#include "preview/png.hpp"

namespace vort {
namespace {

grid_counts parse_grid_counts(const command_line& command) {
  return {parse_grid_count(command.nx_text, "Nx", 1), parse_grid_count(command.ny_text, "Ny", 2),
          parse_grid_count(command.nz_text, "Nz", 3)};
}

// Whole x planes without a record hint at Nx (a positions check cannot see a plane that no
// record describes).
std::string missing_records_warning(const std::string& table_name, std::int64_t read,
                                    const record_table& table) {
  const std::int64_t missing = table.rows - read;
  const std::int64_t plane_rows = std::int64_t{table.counts.ny} * table.counts.nz;
  // Planes read, and whole planes missing after them.
  const std::int64_t planes = read >= plane_rows ? missing / plane_rows : 0;
  return warning_line(
      in_quotes(table_name) + " holds " + counted(read, "record") + " for " +
      counted(table.rows, "knot") + "; " +
      (missing == 1 ? "the last knot has no record and is"
                    : "the last " + std::to_string(missing) + " knots have no record and are") +
      " written as zero" +
      (planes > 0 ? ", " + std::string(planes == 1 ? "a whole x plane" : "whole x planes") +
                        " among them: is Nx too large?"
                  : ""));
}

// Refuses a table whose positions break the grid of the counts; then the mesh answer is
// compared with the positions (a warning each kind of disagreement), or, for --mesh=auto,
// taken from them.
void check_positions_and_mesh(const command_line& command, const table_file& table,
                              const position_spread& spread, std::int64_t records, mirror_mode mode,
                              std::optional<mesh_data>& mesh, run_result& result) {
  const position_verdict verdict = check_positions(table, spread, records);
  if (verdict.fault) throw failure{describe_break(table.name, *verdict.fault)};
  if (command.options.mesh_auto) {
    if (positions_all_zero(spread)) {
      throw failure{"--mesh=auto: the positions in " + in_quotes(command.table_name) +
                    " are all zero, they give no mesh"};
    }
    mesh = mesh_from_positions(verdict.axes);
  } else if (!positions_all_zero(spread)) {
    for (const std::string& warning : compare_mesh(*mesh, verdict.axes, mode)) {
      result.diagnostics.push_back(warning_line(warning));
    }
  }
}

// What a run holds in memory at once: the record table, the axes, the output buffers and the
// picture.
std::uint64_t run_bytes(grid_counts counts, mirror_mode mode, bool preview) {
  const map_knots knots = knots_of_map(counts, mode);
  const auto axis_bytes = static_cast<std::uint64_t>(knots[0] + knots[1] + knots[2]) * 4;
  return table_bytes(counts) + axis_bytes + map_files * output_buffer_bytes(bytes_per_file(knots)) +
         (preview ? preview_bytes(knots) : 0);
}

// Every name the run will write, checked before the table is read: a name that cannot be
// created must not cost the time of reading a large table.
void check_outputs(const output_names& names, const std::string& picture_name, bool preview) {
  for (const std::string& name : names) check_replaceable(name);
  if (preview) check_replaceable(picture_name);
}

void convert(const command_line& command, std::istream& in, std::ostream& out,
             progress_display* progress, run_result& result) {
  work_counter* const counter = progress != nullptr ? &progress->counter : nullptr;
  const command_options& options = command.options;
  console_input console{&in, 0, {}};
  std::optional<mesh_data> mesh = options.mesh;
  if (!mesh && !options.mesh_auto) mesh = ask_mesh_data(out, console);
  const char mirror = options.mirror ? *options.mirror : ask_mirror(out, console);
  echo_mirror(out, mirror);
  const table_file table = open_table(command.table_name);
  const line_count lines = count_lines(table, hardware_threads());
  say(out, "file record=" + int_field(lines.lines - 2));
  const grid_counts counts = parse_grid_counts(command);
  say(out, "Nx,Ny,Nz=" + int_field(counts.nx) + int_field(counts.ny) + int_field(counts.nz));
  flush_console(out);

  check_grid_counts(counts);
  const mirror_mode mode = mirror_of_answer(mirror);
  check_memory_budget(run_bytes(counts, mode, options.preview), memory_room());
  const field_kind kind = select_field_kind(command.field_id);
  const output_names names = build_output_names(command.base_name, kind);
  const std::string picture_name = "3D-" + command.base_name + ".png";
  check_outputs(names, picture_name, options.preview);
  map_axes axes;
  if (mesh) axes = build_map_axes(counts, *mesh, mode);
  record_table rows = allocate_record_table(counts);
  const bool check = !options.no_grid_check;
  position_spread spread = check ? start_spread(counts) : position_spread{};
  const std::int64_t read = read_table(table, rows, check ? &spread : nullptr, counter, &lines);
  end_progress_phase(progress);
  if (check) check_positions_and_mesh(command, table, spread, read, mode, mesh, result);
  if (options.mesh_auto) axes = build_map_axes(counts, *mesh, mode);
  if (read < rows.rows)
    result.diagnostics.push_back(missing_records_warning(table.name, read, rows));

  say(out, std::string("field_id=") + command.field_id);
  flush_console(out);
  output_set files = open_output_files(names, bytes_per_file(knots_of_map(counts, mode)));
  write_headers(files, axes);
  write_body(files, rows, kind, mode, counter);
  end_progress_phase(progress);
  std::vector<staged_file*> finished = staged_files(files);
  staged_file picture;
  if (options.preview) {
    picture = stage_preview(picture_name, render_preview(rows, kind, mode, axes));
    finished.push_back(&picture);
  }
  // The table is not needed any more: its memory goes back before the files are finished.
  rows = record_table{};
  finish_output_files(files);
  commit_staged(finished);
}

// A failed run says one thing: the warnings of its earlier steps are moot.
void fail(run_result& result, const std::string& message) {
  result.status = 1;
  result.diagnostics = {error_line(message)};
}

}  // namespace

run_result run_converter(std::span<const std::string_view> args, std::istream& in,
                         std::ostream& out, progress_display* progress) {
  run_result result;
  try {
    const command_line command = parse_command_line(args);
    switch (command.action) {
      case start_action::help:
        write_help(out);
        break;
      case start_action::help_with_options:
        write_help(out);
        write_option_list(out);
        break;
      case start_action::inspect:
        inspect_table(*command.options.inspect, out);
        break;
      case start_action::version:
        write_version(out);
        break;
      case start_action::notice: {
        write_notice(out);
        flush_console(out);
        console_input console{&in, 0, {}};
        if (!next_console_line(console)) {
          throw failure{"standard input ended while waiting for Enter"};
        }
        break;
      }
      case start_action::convert:
        convert(command, in, out, progress, result);
        break;
    }
    flush_console(out);
  } catch (const failure& f) {
    fail(result, f.message);
  } catch (const std::bad_alloc&) {
    fail(result, allocation_message);
  } catch (const std::exception& e) {
    fail(result, e.what());
  }
  return result;
}

}  // namespace vort
