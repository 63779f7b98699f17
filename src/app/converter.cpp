#include "app/converter.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <exception>
#include <functional>
#include <iostream>
#include <new>
#include <optional>

#include "app/axis_report.hpp"
#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "app/failure_text.hpp"
#include "app/field_scaling.hpp"
#include "app/inspection.hpp"
#include "app/map_check.hpp"
#include "app/table_findings.hpp"
#include "common/failure.hpp"
#include "common/map_lock.hpp"
#include "common/memory_budget.hpp"
#include "common/output_directory.hpp"
#include "common/parallel_parts.hpp"
#include "common/staged_file.hpp"
#include "fieldmap/axis_profile.hpp"
#include "fieldmap/body_writer.hpp"
#include "fieldmap/converted_profile.hpp"
#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "fieldmap/output_files.hpp"
#include "input/grid_inference.hpp"
#include "input/line_counter.hpp"
#include "input/mesh_check.hpp"
#include "input/piped_table.hpp"
#include "input/plane_sides.hpp"
#include "input/position_check.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "input/wall_check.hpp"
#include "platform/descriptor.hpp"
#include "preview/picture.hpp"
#include "preview/png.hpp"

namespace vort {
namespace {

// Every warning of a run comes here: with --strict it is the run's failure instead, before
// any file is created or replaced.
void warn(run_result& result, const command_options& options, const std::string& text) {
  if (options.strict) throw failure{text + " (--strict)"};
  result.diagnostics.push_back(warning_line(text));
}

// Arguments or a --frequency that change nothing, and a field flag that is neither E nor B,
// though they keep their effects, most likely mean a slip.
void warn_about_arguments(const command_line& command, run_result& result) {
  const std::size_t ignored = command.ignored.size();
  if (ignored > 0) {
    std::string list;
    for (const std::string& arg : command.ignored)
      list += (list.empty() ? "" : ", ") + in_quotes(arg, command.options.charset);
    warn(result, command.options,
         "a conversion takes six arguments; " +
             (ignored == 1 ? std::string("the one") : "the " + std::to_string(ignored)) +
             " after the field flag " + (ignored == 1 ? "is" : "are") + " ignored: " + list);
  }
  const command_options& options = command.options;
  if (options.frequency && !options.report && !options.normalise) {
    warn(result, options,
         "--frequency sets the voltage on the axis, which only --report and --normalise work "
         "out: it changes nothing here");
  }
  if (command.field_id != 'E' && command.field_id != 'B') {
    // H in A/m scaled by mu0 is B in tesla, but flag B also gives B's names and signs.
    warn(result, command.options,
         "field flag " + in_quotes(std::string(1, command.field_id), command.options.charset) +
             " is neither E nor B: values are scaled by mu0 and written as .ex files" +
             (command.field_id == 'H' ? "; a table of H in A/m is converted to B with the flag B"
                                      : ""));
  }
}

// The counts of the command line; one given as `auto` is 0 until the table gives it.
struct typed_counts {
  grid_counts counts;
  std::array<bool, 3> automatic{};
  bool any_automatic() const { return automatic[0] || automatic[1] || automatic[2]; }
};

typed_counts parse_typed_counts(const command_line& command) {
  const std::array<const std::string*, 3> texts{&command.nx_text, &command.ny_text,
                                                &command.nz_text};
  std::array<std::int32_t, 3> values{};
  typed_counts typed;
  for (std::size_t a = 0; a < 3; ++a) {
    typed.automatic[a] = *texts[a] == "auto";
    if (!typed.automatic[a]) {
      values[a] = parse_grid_count(*texts[a], argument_names[a], static_cast<int>(a) + 1,
                                   command.options.charset);
    }
  }
  typed.counts = {values[0], values[1], values[2]};
  if (typed.any_automatic() && command.options.no_grid_check) {
    throw failure{
        "auto counts come from the records' positions, which --no-grid-check leaves "
        "unread"};
  }
  return typed;
}

// The mirror is known without a question: given by --mirror or --symmetry.
bool mirror_given(const command_options& options) {
  return options.mirror.has_value() || options.symmetry.has_value();
}

// A table read from standard input leaves no standard input for the answers.
void require_answers_as_options(const command_options& options) {
  const bool mesh = options.mesh || options.mesh_auto;
  const bool mirror = mirror_given(options);
  if (mesh && mirror) return;
  throw failure{"the table is read from standard input, so the answers cannot be: give " +
                std::string(!mesh && !mirror ? "--mesh and --mirror (or --symmetry)"
                            : !mesh          ? "--mesh"
                                             : "--mirror (or --symmetry)")};
}

// The knot of the last record, "(9, 14, 7)", where the records end inside an x plane; "" where
// they fill whole planes.
std::string knot_ending_inside_a_plane(std::int64_t read, const record_table& table) {
  const std::int64_t plane_rows = std::int64_t{table.counts.ny} * table.counts.nz;
  if (read == 0 || read == table.rows || read % plane_rows == 0) return "";
  return knot_text(walk_from(table.counts, read - 1));
}

// Why knots may lack a record. Records that end inside an x plane mean a table cut short
// (a copy broken off, a disk that filled); whole x planes missing after whole planes read
// hint at Nx (a positions check cannot see a plane that no record describes).
std::string missing_records_cause(std::int64_t read, const record_table& table) {
  if (read == 0) return "";
  const std::string ended_at = knot_ending_inside_a_plane(read, table);
  if (!ended_at.empty()) {
    return ": the table ends early at knot " + ended_at + " and may be cut short";
  }
  const std::int64_t plane_rows = std::int64_t{table.counts.ny} * table.counts.nz;
  const std::int64_t planes = (table.rows - read) / plane_rows;
  return ", " + std::string(planes == 1 ? "a whole x plane" : "whole x planes") +
         " among them: is Nx too large?";
}

std::string missing_records_warning(const std::string& table_name, std::int64_t read,
                                    const record_table& table, name_charset charset) {
  const std::int64_t missing = table.rows - read;
  return in_quotes(table_name, charset) + " holds " + counted(read, "record") + " for " +
         counted(table.rows, "knot") + "; " +
         (missing == 1 ? "the last knot has no record and is"
                       : "the last " + std::to_string(missing) + " knots have no record and are") +
         " written as zero" + missing_records_cause(read, table);
}

// The mesh answer compared with the positions (a warning each kind of disagreement), or, for
// --mesh=auto, taken from them.
void check_mesh(const command_line& command, const checked_positions& positions,
                const map_symmetry& symmetry, const std::string& ended_at,
                std::optional<mesh_data>& mesh, run_result& result) {
  if (command.options.mesh_auto) {
    if (!positions.known) {
      throw failure{"--mesh=auto: the positions in " +
                    in_quotes(command.table_name, command.options.charset) +
                    " are all zero, they give no mesh"};
    }
    mesh = mesh_from_positions(positions.axes, ended_at);
  } else if (positions.known) {
    const std::string unit = command.options.length ? command.options.length->name : "m";
    for (const std::string& warning :
         mesh_disagreement_lines(compare_mesh(*mesh, positions.axes, symmetry), unit)) {
      warn(result, command.options, warning);
    }
  }
}

// The plane's knot along its axis in the table (0-based).
std::int32_t plane_index(const record_table& table, int normal, const map_plane& plane) {
  return plane.side == plane_side::first_knot ? 0 : count_along(table.counts, normal) - 1;
}

// Where a plane lies: at the table's position there, or, without positions, where the mesh
// (then always given) puts its knot.
std::string plane_position(int axis, std::int32_t index, const checked_positions& positions,
                           const std::optional<mesh_data>& mesh) {
  const table_axis& along = positions.axes[static_cast<std::size_t>(axis)];
  if (positions.known) return number_text(index == 0 ? along.first : along.last);
  return number_text(knot_coordinate(index, mesh->min[static_cast<std::size_t>(axis)],
                                     mesh->step[static_cast<std::size_t>(axis)]));
}

// Why the side the run chose for a plane may be wrong, and how to give the other end. The
// positions are those of the table, or, without them, the mesh's.
std::string side_warning(const doubtful_plane& placed, const record_table& table,
                         const map_symmetry& symmetry, const checked_positions& positions,
                         const std::optional<mesh_data>& mesh) {
  const int normal = placed.normal;
  const map_plane& plane = *symmetry.planes[static_cast<std::size_t>(normal)];
  const std::string axis = axis_names[normal];
  const bool at_first = plane.side == plane_side::first_knot;
  const std::string first = plane_position(normal, 0, positions, mesh);
  const std::string last =
      plane_position(normal, count_along(table.counts, normal) - 1, positions, mesh);
  const std::string taken = axis + " = " + (at_first ? first : last);
  const std::string other = axis + " = " + (at_first ? last : first);
  const std::string other_end = symmetry_text(
      {{normal, plane.wall, at_first ? plane_side::last_knot : plane_side::first_knot}});
  const std::string taken_text =
      std::string("the ") + plane_name(normal) + " plane was taken at " + taken;
  switch (placed.doubt) {
    case side_doubt::both_ends_fit:
      // A metal end wall fits an electric wall as well as a symmetry plane does.
      return "the field fits " + a_wall(plane.wall) + " at both ends of " + axis + ", " + axis +
             " = " + first + " and " + axis + " = " + last + ": " + taken_text +
             "; if it lies at " + other + " (the other end a wall of the structure), give " +
             other_end + " in --symmetry";
    case side_doubt::field_vanishes:
      return taken_text + ", where the field vanishes (outside the structure?); if it lies at " +
             other + ", give " + other_end + " in --symmetry";
    case side_doubt::axis_whole:
      return axis + " already holds both sides of zero, from " + first + " to " + last +
             ", yet the " + plane_name(normal) + " plane mirrors it at " + taken +
             ": is the table whole along " + axis + ", or the symmetry plane another?";
    case side_doubt::none:
      break;
  }
  return "";
}

// One line for each plane at the first knot of its axis: the table is the part above it.
void say_upper_parts(std::ostream& out, const map_symmetry& symmetry) {
  for (int a = 0; a < 3; ++a) {
    const std::optional<map_plane>& plane = symmetry.planes[static_cast<std::size_t>(a)];
    if (!plane || plane->side != plane_side::first_knot) continue;
    say(out, mirror_text(a, plane->wall) + " at the first " + axis_names[a] +
                 " knot: the table holds the part above it");
  }
}

// A warning for each plane whose wall the field does not fit.
void check_walls(const command_options& options, const record_table& table,
                 const map_symmetry& symmetry, const field_kind& kind,
                 const checked_positions& positions, const std::optional<mesh_data>& mesh,
                 run_result& result) {
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(kind.ext[0][1])));
  for (int a = 0; a < 3; ++a) {
    const std::optional<map_plane>& plane = symmetry.planes[static_cast<std::size_t>(a)];
    if (!plane) continue;
    const std::int32_t index = plane_index(table, a, *plane);
    const wall_fit fit =
        fit_to_wall(extremes_on_plane(table, a, index), a, plane->wall, kind.axial, table.largest);
    if (fit.fits) continue;
    const std::string at = plane_position(a, index, positions, mesh);
    const wall_kind other =
        plane->wall == wall_kind::magnetic ? wall_kind::electric : wall_kind::magnetic;
    warn(result, options,
         "the field does not fit " + a_wall(plane->wall) + " on the " + plane_name(a) +
             " plane at " + axis_names[a] + " = " + at + ": |" +
             field_part_name(fit.worst_field, letter) + "| there reaches " +
             number_text(std::round(1000 * fit.share) / 10) +
             "% of the table's largest value, at knot " + knot_text(fit.at) +
             "; is the symmetry plane another, the wall " + wall_name(other) +
             ", or the table the other part?");
  }
}

// The threads of a run: --threads, or the machine's.
int run_threads(const command_options& options) {
  return options.threads > 0 ? options.threads : default_threads();
}

// What a run holds in memory at once: the record table, the axes, the writing threads'
// buffers and the picture.
std::uint64_t run_bytes(grid_counts counts, const map_symmetry& symmetry,
                        const command_options& options) {
  const map_knots knots = knots_of_map(counts, symmetry);
  const auto axis_bytes = static_cast<std::uint64_t>(knots[0] + knots[1] + knots[2]) * 4;
  const int writers = body_threads(knots, run_threads(options));
  return table_bytes(counts) + axis_bytes +
         static_cast<std::uint64_t>(writers) * body_buffer_bytes(bytes_per_file(knots), writers) +
         (options.preview ? preview_bytes(knots) : 0);
}

// An axis of the map longer than its count, written in single precision, can say; with a
// symmetry plane, 2N - 1 knots.
void check_axis_lengths(grid_counts counts, const map_symmetry& symmetry) {
  const map_knots knots = knots_of_map(counts, symmetry);
  for (int a = 0; a < 3; ++a) {
    const std::int64_t along = knots[static_cast<std::size_t>(a)];
    if (along <= max_axis_knots) continue;
    const std::string count =
        std::string("N") + axis_names[a] + "=" + std::to_string(count_along(counts, a));
    const bool doubled = symmetry.planes[static_cast<std::size_t>(a)].has_value();
    throw failure{(doubled ? count + " makes " + std::to_string(along) + " " + axis_names[a] +
                                 " knots with the " + plane_name(a) + " symmetry plane, more than"
                           : count + " is more than") +
                  " the " + std::to_string(max_axis_knots) +
                  " knots a map axis can have: the knot count is written in single precision"};
  }
}

// The mesh answer, in the table's unit, as the map's axes are built from it: in metres.
mesh_data map_mesh(const mesh_data& mesh, const command_options& options) {
  return options.length ? mesh_in_metres(mesh, options.length->per_metre) : mesh;
}

// The checks that depend on the planes: an axis too long for the map, a run that cannot fit
// in memory, and axes of a mesh given by --mesh that cannot be built (coinciding knots or a
// coordinate beyond single precision), checked without building them, since a plane placed
// by the table may change its axis. Before the planes are asked, they are made without any:
// a plane only adds knots, so what fails without one fails with it.
void check_axis_and_room(grid_counts counts, const map_symmetry& symmetry,
                         const command_options& options) {
  check_axis_lengths(counts, symmetry);
  check_memory_budget(run_bytes(counts, symmetry, options), memory_room());
  if (options.mesh) check_map_axes(counts, map_mesh(*options.mesh, options), symmetry);
}

// Every name the run will write, checked before a question is asked or the table is read: a
// name that cannot be created must cost neither.
void check_outputs(const output_names& names, std::span<const std::string> picture_names) {
  for (const std::string& name : names) check_output_directory(name);
  check_output_names(names, picture_names);
}

// A file written with the maps under the name of their lock file would be removed with the
// lock once the run ends, after the run had said it was written.
void check_lock_kept(const std::string& base_name, std::span<const std::string> extra_names) {
  std::vector<std::string> names{map_lock_path(base_name)};
  names.insert(names.end(), extra_names.begin(), extra_names.end());
  check_distinct_files(names);
}

// Refuses an output that is the table's own file (its name, a symbolic or a hard link): the
// map renamed onto it would take the table's place. `table_fd` is the table's, or standard
// input's for "-", which a shell may have redirected from a file (`- < t.txt`).
void check_table_kept(file_descriptor table_fd, const std::string& table_text,
                      const output_names& names, std::span<const std::string> picture_names,
                      name_charset charset) {
  std::vector<std::string> every_name(names.begin(), names.end());
  every_name.insert(every_name.end(), picture_names.begin(), picture_names.end());
  for (const std::string& name : every_name) {
    if (names_open_file(name, table_fd)) {
      throw failure{"cannot create " + in_quotes(name, charset) +
                    ": it is the same file as the table " + table_text};
    }
  }
}

// A run is worked out in phases, each made once from the one before and never changed after:
// what is known before the first question (`run_plan`), after the answers (`answered_run`),
// and once the table is read (`read_run`: the planes at their sides). The map's axes are built
// once from the last, when the mesh is known.

// What is known and checked before the first question.
struct run_plan {
  table_file table;
  grid_counts counts;
  // The grid the positions form, where a count was `auto`: the check after the read compares
  // with it instead of looking for it again.
  std::optional<grid_counts> inferred;
  std::optional<map_symmetry> given_symmetry;  // by --mirror or --symmetry; else asked
  field_kind unscaled;                         // the flag's kind in its unit
  field_kind kind;                             // times --scale
  output_names names;
  std::string picture_name;
  name_charset charset = name_charset::ascii;  // how messages show names
  // The files written with the six maps: the picture's and the profile's, where made.
  std::vector<std::string> extra_names;
};

// The names written with the six maps: the picture's and the profile's, where the run makes
// them.
std::vector<std::string> extra_names_of(const command_options& options,
                                        const std::string& picture_name) {
  std::vector<std::string> names;
  if (options.preview) names.push_back(picture_name);
  if (options.report_csv) names.push_back(*options.report_csv);
  return names;
}

// The counts given as `auto` taken from the grid the positions form, found as --inspect finds
// it; refused where they form none.
void take_automatic_counts(run_plan& plan, const typed_counts& typed, name_charset charset) {
  const inferred_grid grid = infer_grid(plan.table);
  const std::string refusal = no_grid_message(grid, plan.table.name, charset);
  if (!refusal.empty()) throw failure{refusal};
  plan.inferred = grid.counts;
  if (typed.automatic[0]) plan.counts.nx = grid.counts.nx;
  if (typed.automatic[1]) plan.counts.ny = grid.counts.ny;
  if (typed.automatic[2]) plan.counts.nz = grid.counts.nz;
}

// Everything that needs no answer, in the order of the command line: the counts, the output
// place, the table (read from standard input for "-"), and the counts taken from it. The
// counts are checked once they are all known.
run_plan plan_run(const command_line& command) {
  const command_options& options = command.options;
  const typed_counts typed = parse_typed_counts(command);
  run_plan plan;
  plan.charset = command.options.charset;
  plan.counts = typed.counts;
  plan.given_symmetry = given_symmetry(options);
  const map_symmetry known = plan.given_symmetry.value_or(map_symmetry{});
  if (!typed.any_automatic()) {
    check_grid_counts(plan.counts);
    check_axis_and_room(plan.counts, known, options);
  }
  if (command.table_name == piped_table_argument) require_answers_as_options(options);
  plan.unscaled = unscaled_kind(command.field_id, options);
  plan.kind = kind_with_scale(plan.unscaled, options);
  plan.names = build_output_names(command.base_name, plan.kind);
  plan.picture_name = output_file_name(command.base_name, "3D-", ".png");
  plan.extra_names = extra_names_of(options, plan.picture_name);
  check_outputs(plan.names, plan.extra_names);
  check_lock_kept(command.base_name, plan.extra_names);
  const bool piped = command.table_name == piped_table_argument;
  if (piped) {
    check_table_kept(standard_input, "on standard input", plan.names, plan.extra_names,
                     command.options.charset);
  }
  plan.table = open_table_or_input(command.table_name,
                                   typed.any_automatic() ? max_knots : typed.counts.knots());
  if (!piped) {
    check_table_kept(plan.table.file.fd, in_quotes(plan.table.name, command.options.charset),
                     plan.names, plan.extra_names, command.options.charset);
  }
  plan.table.inflate_in_own_thread = run_threads(options) > 1;
  if (typed.any_automatic()) {
    take_automatic_counts(plan, typed, command.options.charset);
    check_grid_counts(plan.counts);
    check_axis_and_room(plan.counts, known, options);
  }
  return plan;
}

// "file record=" (the table's lines but its two header lines) and the counts.
void say_line_count(std::ostream& out, const line_count& lines, grid_counts counts) {
  say(out, "file record=" + int_field(lines.lines - 2));
  say(out, "Nx,Ny,Nz=" + int_field(counts.nx) + int_field(counts.ny) + int_field(counts.nz));
  flush_console(out);
}

// The planes of the run: those given, or those of the mirror answer, asked then; echoed either
// way. A typed answer that is none of the choices keeps its echo "error!" and is warned about.
map_symmetry ask_symmetry(const run_plan& plan, const command_options& options, std::ostream& out,
                          console_input& console, run_result& result) {
  if (options.symmetry) {
    echo_symmetry(out, *options.symmetry);
    return *plan.given_symmetry;
  }
  const char mirror = options.mirror ? *options.mirror : ask_mirror(out, console);
  echo_mirror(out, mirror);
  if (!mirror_answered(mirror)) {
    std::string_view answer = console.text;
    answer.remove_suffix(1);  // the line end
    warn(result, options, unanswered_mirror_warning(answer, plan.charset));
  }
  return plan.given_symmetry ? *plan.given_symmetry : symmetry_from_list(planes_of_answer(mirror));
}

// What the answers add: the mesh (none for --mesh=auto until the positions give it) and the
// planes, their sides where given (the others are placed once the table is read).
struct answered_run {
  const run_plan& plan;
  const std::optional<mesh_data> mesh;
  const map_symmetry symmetry;
  // Planes that the checks before the questions did not know of: they are checked now.
  const bool planes_asked;
};

bool any_plane(const map_symmetry& symmetry) {
  return std::any_of(symmetry.planes.begin(), symmetry.planes.end(),
                     [](const std::optional<map_plane>& plane) { return plane.has_value(); });
}

std::optional<mesh_data> ask_mesh(const command_options& options, std::ostream& out,
                                  console_input& console, name_charset charset) {
  if (options.mesh || options.mesh_auto) return options.mesh;
  return ask_mesh_data(out, console, charset);
}

answered_run take_answers(const run_plan& plan, const command_options& options, std::ostream& out,
                          console_input& console, run_result& result) {
  std::optional<mesh_data> mesh = ask_mesh(options, out, console, plan.charset);
  const map_symmetry symmetry = ask_symmetry(plan, options, out, console, result);
  const answered_run answered{plan, std::move(mesh), symmetry,
                              !plan.given_symmetry && any_plane(symmetry)};
  if (answered.planes_asked) check_axis_lengths(plan.counts, symmetry);
  return answered;
}

// The table read into its rows, with the positions' spread where they are checked.
struct table_reading {
  record_table rows;
  std::int64_t read = 0;
  bool checked = false;    // the positions were read for the grid check
  position_spread spread;  // of the records read, where checked
};

// Refuses what only the answers let the run check, before the rows are allocated: the memory
// and a mesh's axes with planes not known before, an answered mesh's axes.
void check_answered(const answered_run& run, const command_options& options) {
  const grid_counts counts = run.plan.counts;
  if (run.planes_asked) {
    check_memory_budget(run_bytes(counts, run.symmetry, options), memory_room());
  }
  const bool mesh_checked = options.mesh && !run.planes_asked;
  if (run.mesh && !mesh_checked) check_map_axes(counts, map_mesh(*run.mesh, options), run.symmetry);
}

// Reads the table once the answers' checks pass. `counted` is handed the table's line count
// as soon as it is known, also when a check or the read fails, unless the count itself fails.
table_reading read_planned_table(const answered_run& run, const command_options& options,
                                 work_counter* counter,
                                 const std::function<void(const line_count&)>& counted) {
  const table_file& table = run.plan.table;
  const grid_counts counts = run.plan.counts;
  const int threads = run_threads(options);
  const bool check = !options.no_grid_check;
  table_reading reading;
  reading.checked = check;
  try {
    check_answered(run, options);
    reading.rows = allocate_record_table(counts);
    if (check) reading.spread = start_spread(counts);
  } catch (...) {
    counted(count_lines(table, threads));  // the table's first pass: its count for the echo
    throw;
  }
  reading.read = read_counted_table(table, reading.rows, threads, counted,
                                    check ? &reading.spread : nullptr, counter);
  return reading;
}

// What the read settles: the positions as checked, and the planes at their sides, with those
// whose side is in doubt.
struct read_run {
  const checked_positions positions;
  const std::vector<doubtful_plane> doubtful;
  const map_symmetry symmetry;
};

read_run place_read_planes(const answered_run& run, const table_reading& reading) {
  const checked_positions positions =
      reading.checked ? check_table_positions(run.plan.table, reading.spread, reading.read,
                                              run.plan.inferred, run.plan.charset)
                      : checked_positions{};
  map_symmetry symmetry = run.symmetry;
  std::vector<doubtful_plane> doubtful =
      place_planes(symmetry, reading.rows, reading.read,
                   positions.known ? &positions.axes : nullptr, run.plan.kind.axial);
  return {positions, std::move(doubtful), symmetry};
}

// The run's field as it will be written: its kind, with the scale --normalise works out, and
// the profile on the axis where the run reports it, normalises or draws it.
struct scaled_run {
  field_kind kind;
  double scale = 1;
  std::optional<axis_profile> profile;
};

scaled_run scale_run(const command_options& options, const run_plan& plan, const record_table& rows,
                     const map_symmetry& symmetry, const map_axes& axes) {
  scaled_run scaled{plan.kind, options.scale.value_or(1), std::nullopt};
  if (options.scale) {
    check_scaled_values(plan.kind, rows.largest, "--scale=" + number_text(*options.scale));
  }
  // A line given by --axis is refused outside the map whatever uses it.
  const bool needed = options.report || options.normalise.has_value() || options.axis.has_value();
  if (!needed && !options.preview) return scaled;
  const std::array<double, 2> at = options.axis.value_or(std::array<double, 2>{0, 0});
  scaled.profile = converted_profile(rows, plan.kind, symmetry, axes, at[0], at[1]);
  if (!scaled.profile) {
    if (needed) throw failure{axis_outside_message(at, options.axis.has_value(), axes)};
    return scaled;  // the picture goes without its axis panel
  }
  if (options.normalise) {
    scaled.scale = normalising_scale(*options.normalise, *scaled.profile, plan.kind, rf_of(options),
                                     options.charset);
    const std::string source =
        "--normalise=" + printable_item(options.normalise->text, options.charset);
    scaled.kind = scaled_kind(plan.kind, scaled.scale, source);
    check_scaled_values(scaled.kind, rows.largest, source);
    scaled.profile = converted_profile(rows, scaled.kind, symmetry, axes, at[0], at[1]);
  }
  return scaled;
}

// A small text file under a temporary name beside `name`, closed: it replaces the file of
// that name only when committed, with the maps.
staged_file stage_text(const std::string& name, const std::string& text) {
  staged_file file = stage_file(name);
  write_staged_at(file, text.data(), text.size(), 0);
  close_staged(file);
  return file;
}

void convert(const command_line& command, std::istream& in, std::ostream& out,
             progress_display* progress, run_result& result) {
  work_counter* const counter = progress != nullptr ? &progress->counter : nullptr;
  const command_options& options = command.options;
  warn_about_arguments(command, result);
  const run_plan plan = plan_run(command);
  const table_file& table = plan.table;
  const grid_counts counts = plan.counts;
  console_input console{&in, 0, {}};
  const answered_run answered = take_answers(plan, options, out, console, result);
  // The echo of the count: before the read of a plain table, after that of a compressed one
  // (counted as it is read: inflating it twice would cost as much again), also after a
  // failure.
  table_reading reading =
      read_planned_table(answered, options, counter, [&](const line_count& lines) {
        end_progress_phase(progress);  // the echo goes on a line of its own, not after the bar
        say_line_count(out, lines, counts);
      });
  end_progress_phase(progress);
  record_table& rows = reading.rows;
  const std::int64_t read = reading.read;
  const read_run placed = place_read_planes(answered, reading);
  const checked_positions& positions = placed.positions;
  const map_symmetry& symmetry = placed.symmetry;
  std::optional<mesh_data> mesh = answered.mesh;
  say_upper_parts(out, symmetry);
  // Knots without a record come first: a table cut short explains what follows.
  if (read < rows.rows)
    warn(result, options, missing_records_warning(table.name, read, rows, command.options.charset));
  // Both ends fitting needs the positions; the other doubts may need the mesh, known only
  // once --mesh=auto has taken it from them.
  for (const doubtful_plane& doubt : placed.doubtful) {
    if (doubt.doubt != side_doubt::both_ends_fit) continue;
    warn(result, options, side_warning(doubt, rows, symmetry, positions, mesh));
  }
  check_mesh(command, positions, symmetry, knot_ending_inside_a_plane(read, rows), mesh, result);
  for (const doubtful_plane& doubt : placed.doubtful) {
    if (doubt.doubt == side_doubt::both_ends_fit) continue;
    warn(result, options, side_warning(doubt, rows, symmetry, positions, mesh));
  }
  const map_axes axes = build_map_axes(counts, map_mesh(*mesh, options), symmetry);
  check_walls(options, rows, symmetry, plan.kind, positions, mesh, result);
  const scaled_run scaled = scale_run(options, plan, rows, symmetry, axes);
  const field_kind& kind = scaled.kind;

  say(out, std::string("field_id=") + command.field_id);
  for (const std::string& line : scaling_echo(options, plan.unscaled, kind, scaled.scale)) {
    say(out, line);
  }
  flush_console(out);
  // Another run writing maps of the same name meanwhile would mix its set with this one's.
  map_lock lock = lock_maps(map_lock_path(command.base_name), [&] {
    std::cerr << error_line("another run is writing the maps of " +
                            in_quotes(command.base_name, command.options.charset) +
                            "; waiting for it to finish")
              << std::endl;
  });
  const int threads = run_threads(options);
  output_set files = open_output_files(plan.names, plan.extra_names);
  write_headers(files, axes);
  write_body(files, rows, kind, symmetry, counter, threads);
  end_progress_phase(progress);
  std::vector<staged_file*> finished = staged_files(files);
  staged_file picture;
  if (options.preview) {
    picture = stage_preview(
        plan.picture_name,
        render_preview(rows, kind, symmetry, axes, scaled.profile ? &*scaled.profile : nullptr));
    finished.push_back(&picture);
  }
  staged_file profile_file;
  if (options.report_csv) {
    profile_file =
        stage_text(*options.report_csv, profile_csv(*scaled.profile, wording_of(plan.unscaled)));
    finished.push_back(&profile_file);
  }
  // The table is not needed any more: its memory goes back before the files are finished.
  rows = record_table{};
  finish_output_files(files);
  const std::vector<notice> left =
      commit_staged(finished, threads, options.no_sync ? durability::unsynced : durability::synced);
  release(lock);
  if (options.report) {
    for (const std::string& line :
         axis_report_lines(*scaled.profile, figures_of(*scaled.profile, kind.axial, rf_of(options)),
                           wording_of(plan.unscaled), rf_of(options))) {
      say(out, line);
    }
  }
  for (const notice& n : left) warn(result, options, notice_text(n, command.options.charset));
}

// A failed run says one thing: the warnings of its earlier steps are moot.
void fail(run_result& result, const std::string& message) {
  result.status = 1;
  result.diagnostics = {error_line(message)};
}

}  // namespace

run_result run_converter(std::span<const std::string_view> args, std::istream& in,
                         std::ostream& out, progress_display* progress, name_charset charset) {
  run_result result;
  try {
    const command_line command = parse_command_line(args, charset);
    switch (command.action) {
      case start_action::help:
        write_help(out);
        break;
      case start_action::help_with_options:
        write_help(out);
        write_option_list(out);
        break;
      case start_action::inspect:
        inspect_table(*command.options.inspect, command.options, out, charset);
        break;
      case start_action::check:
        check_written_map(command.options, command.field_id, out);
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
    fail(result, failure_text(f, charset));
  } catch (const std::bad_alloc&) {
    fail(result, allocation_message);
  } catch (const std::exception& e) {
    fail(result, e.what());
  }
  return result;
}

}  // namespace vort
