#include "app/converter.hpp"

#include <exception>
#include <new>

#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "common/failure.hpp"
#include "common/memory_budget.hpp"
#include "fieldmap/body_writer.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/output_files.hpp"
#include "input/line_counter.hpp"
#include "input/mesh.hpp"
#include "input/record_table.hpp"
#include "input/table_reader.hpp"

namespace vort {
namespace {

const std::string program = "VORT2Pelta: ";

grid_counts parse_grid_counts(const command_line& line) {
  return {parse_grid_count(line.nx_text, "Nx", 1), parse_grid_count(line.ny_text, "Ny", 2),
          parse_grid_count(line.nz_text, "Nz", 3)};
}

// "1 knot", "2 knots".
std::string counted(std::int64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string missing_records_warning(const std::string& table_name, std::int64_t read,
                                    std::int64_t knots) {
  const std::int64_t missing = knots - read;
  return program + "warning: " + in_quotes(table_name) + " holds " + counted(read, "record") +
         " for " + counted(knots, "knot") + "; " +
         (missing == 1 ? "the last knot has no record and is"
                       : "the last " + std::to_string(missing) + " knots have no record and are") +
         " written as zero";
}

void convert(const command_line& line, std::istream& in, std::ostream& out,
             progress_display* progress, run_result& result) {
  work_counter* const counter = progress != nullptr ? &progress->counter : nullptr;
  console_input console{&in, 0, {}};
  const mesh::mesh_data mesh = ask_mesh_data(out, console);
  const char mirror = ask_mirror(out, console);
  echo_mirror(out, mirror);
  const std::int32_t nrec = files_analysis::file_record(line.table_name) - 2;
  say(out, "file record=" + int_field(nrec));
  const grid_counts counts = parse_grid_counts(line);
  say(out, "Nx,Ny,Nz=" + int_field(counts.nx) + int_field(counts.ny) + int_field(counts.nz));
  flush_console(out);

  check_grid_counts(counts);
  const mirror_mode mode = mode_of(mirror);
  check_memory_budget(bytes_needed(counts, mode), memory_room());
  mesh::axes axes = mesh::build_axes(counts, mesh, mode);
  record_table table = allocate_record_table(counts);
  const std::int64_t read = read_table(line.table_name, nrec, table, counter);
  end_progress_phase(progress);
  if (read < table.rows) {
    result.diagnostics.push_back(missing_records_warning(line.table_name, read, table.rows));
  }

  const field_kind kind = select_field_kind(line.field_id);
  say(out, std::string("field_id=") + line.field_id);
  flush_console(out);
  output_set files =
      open_output_files(build_output_names(line.o_file_name, kind), bytes_per_file(axes));
  write_headers(files, axes);
  write_body(files, table, kind, mode, counter);
  end_progress_phase(progress);
  release_arrays(table, axes);
  close_output_files(files);
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
    result.status = 1;
    result.diagnostics.push_back(program + f.message);
  } catch (const std::bad_alloc&) {
    result.status = 1;
    result.diagnostics.push_back(program + allocation_message);
  } catch (const std::exception& e) {
    result.status = 1;
    result.diagnostics.push_back(program + e.what());
  }
  return result;
}

}  // namespace vort
