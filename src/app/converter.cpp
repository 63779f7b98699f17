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
#include "fieldmap/body_writer.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "fieldmap/preview.hpp"
#include "input/grid_check.hpp"
#include "input/grid_inference.hpp"
#include "input/line_counter.hpp"
#include "input/mesh.hpp"
#include "input/mesh_check.hpp"
#include "input/record_table.hpp"
#include "input/table_reader.hpp"

namespace vort {
namespace {

const std::string program = "VORT2Pelta: ";

grid_counts parse_grid_counts(const command_line& line) {
  return {parse_grid_count(line.nx_text, "Nx", 1), parse_grid_count(line.ny_text, "Ny", 2),
          parse_grid_count(line.nz_text, "Nz", 3)};
}

// Whole x planes without a record hint at Nx (a positions check cannot see a plane that no
// record describes).
std::string missing_records_warning(const std::string& table_name, std::int64_t read,
                                    const record_table& table) {
  const std::int64_t missing = table.rows - read;
  // Planes read, and whole planes missing after them.
  const std::int64_t planes = read >= table.plane_rows ? missing / table.plane_rows : 0;
  return program + "warning: " + in_quotes(table_name) + " holds " + counted(read, "record") +
         " for " + counted(table.rows, "knot") + "; " +
         (missing == 1 ? "the last knot has no record and is"
                       : "the last " + std::to_string(missing) + " knots have no record and are") +
         " written as zero" +
         (planes > 0 ? ", " + std::string(planes == 1 ? "a whole x plane" : "whole x planes") +
                           " among them: is Nx too large?"
                     : "");
}

// "; the positions fit a grid of 11 x 21 x 11 knots" when they fit a grid of other counts.
std::string fitting_grid(const std::string& table_name, grid_counts counts) {
  inferred_grid grid;
  try {
    grid = infer_grid(table_name);
  } catch (const failure&) {
    return "";  // the refusal stands on its own
  }
  const grid_counts fit = grid.counts;
  if (!grid.reason.empty() || (fit.nx == counts.nx && fit.ny == counts.ny && fit.nz == counts.nz)) {
    return "";
  }
  return "; the positions fit a grid of " + counts_text(fit) + " knots";
}

// Refuses a table whose positions break the grid of the counts; then the mesh answer is
// compared with the positions (a warning each kind of disagreement), or, for --mesh=auto,
// taken from them.
void check_positions(const command_line& line, const position_spread& spread, std::int64_t records,
                     mirror_mode mode, std::optional<mesh::mesh_data>& mesh, run_result& result) {
  if (find_spread_fault(spread)) {
    throw failure{describe_first_break(line.table_name, spread, records) +
                  fitting_grid(line.table_name, spread.counts)};
  }
  const std::array<table_axis, 3> axes = table_axes(spread);
  if (line.options.mesh_auto) {
    if (positions_all_zero(spread)) {
      throw failure{"--mesh=auto: the positions in " + in_quotes(line.table_name) +
                    " are all zero, they give no mesh"};
    }
    mesh = mesh_from_positions(axes);
  } else if (!positions_all_zero(spread)) {
    for (const std::string& warning : compare_mesh(*mesh, axes, mode)) {
      result.diagnostics.push_back(program + "warning: " + warning);
    }
  }
}

void convert(const command_line& line, std::istream& in, std::ostream& out,
             progress_display* progress, run_result& result) {
  work_counter* const counter = progress != nullptr ? &progress->counter : nullptr;
  const command_options& options = line.options;
  console_input console{&in, 0, {}};
  std::optional<mesh::mesh_data> mesh = options.mesh;
  if (!mesh && !options.mesh_auto) mesh = ask_mesh_data(out, console);
  const char mirror = options.mirror ? *options.mirror : ask_mirror(out, console);
  echo_mirror(out, mirror);
  files_analysis::line_count lines;
  const std::int32_t nrec = files_analysis::file_record(line.table_name, &lines) - 2;
  say(out, "file record=" + int_field(nrec));
  const grid_counts counts = parse_grid_counts(line);
  say(out, "Nx,Ny,Nz=" + int_field(counts.nx) + int_field(counts.ny) + int_field(counts.nz));
  flush_console(out);

  check_grid_counts(counts);
  const mirror_mode mode = mode_of(mirror);
  check_memory_budget(bytes_needed(counts, mode), memory_room());
  mesh::axes axes;
  if (mesh) axes = mesh::build_axes(counts, *mesh, mode);
  record_table table = allocate_record_table(counts);
  const bool check = !options.no_grid_check;
  position_spread spread = check ? start_spread(counts) : position_spread{};
  const std::int64_t read =
      read_table(line.table_name, nrec, table, check ? &spread : nullptr, counter, &lines);
  end_progress_phase(progress);
  if (check) check_positions(line, spread, read, mode, mesh, result);
  if (options.mesh_auto) axes = mesh::build_axes(counts, *mesh, mode);
  if (read < table.rows) {
    result.diagnostics.push_back(missing_records_warning(line.table_name, read, table));
  }

  const field_kind kind = select_field_kind(line.field_id);
  say(out, std::string("field_id=") + line.field_id);
  flush_console(out);
  const std::string picture_name = "3D-" + line.o_file_name + ".png";
  if (options.preview) check_replaceable(picture_name);
  const std::span<const std::string> picture_names(&picture_name, options.preview ? 1 : 0);
  output_set files = open_output_files(build_output_names(line.o_file_name, kind),
                                       bytes_per_file(axes), picture_names);
  write_headers(files, axes);
  write_body(files, table, kind, mode, counter);
  end_progress_phase(progress);
  std::vector<staged_file*> finished = staged_files(files);
  staged_file picture;
  if (options.preview) {
    picture = stage_preview(picture_name, render_preview(table, kind, mode, axes));
    finished.push_back(&picture);
  }
  release_arrays(table, axes);
  finish_output_files(files);
  commit_staged(finished);
}

// A failed run says one thing: the warnings of its earlier steps are moot.
void fail(run_result& result, const std::string& message) {
  result.status = 1;
  result.diagnostics = {program + message};
}

}  // namespace

run_result run_converter(std::span<const std::string_view> args, std::istream& in,
                         std::ostream& out, progress_display* progress) {
  run_result result;
  try {
    const command_line line = parse_command_line(args);
    switch (line.action) {
      case start_action::help:
        write_help(out);
        break;
      case start_action::help_with_options:
        write_help(out);
        write_option_list(out);
        break;
      case start_action::inspect:
        inspect_table(*line.options.inspect, out);
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
        convert(line, in, out, progress, result);
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
