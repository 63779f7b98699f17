// What the checks of a table found, in words: a record that breaks the grid, positions that
// form none, an item that is not a number, a mesh answer that the positions contradict.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_text.hpp"
#include "input/free_form.hpp"
#include "input/grid_check.hpp"
#include "input/grid_inference.hpp"
#include "input/mesh_check.hpp"
#include "input/position_check.hpp"
#include "input/table_file.hpp"

namespace vort {

// The break, e.g. `t.txt:124: record 122 is at y = 0.011 but knot (2, 1, 1) of a 21 x 11 x 11
// grid shares y with record 1 (y = 0); the positions fit a grid of 11 x 21 x 11 knots`.
std::string describe_break(const std::string& table_name, const grid_break& at,
                           name_charset charset);

// The positions as the symmetry planes and the mesh see them: the axes they show, and whether
// those say anything (they were checked, and not all zero).
struct checked_positions {
  std::array<table_axis, 3> axes;
  bool known = false;
};

// Refuses a table whose positions break the grid of the counts (or of `inferred`, the grid
// they were found to form), with the break in words.
checked_positions check_table_positions(const table_file& table, const position_spread& spread,
                                        std::int64_t records,
                                        const std::optional<grid_counts>& inferred,
                                        name_charset charset);

// Why the positions of the table form no grid: the record that breaks the inferred grid, or
// the reason none was found; "" where they form one.
std::string no_grid_message(const inferred_grid& grid, const std::string& table_name,
                            name_charset charset);

// `cannot read "1.2.3" as a number (value 4 of record 55)`, where `of_what` is "record 55"
// and `value` counts from 1.
std::string unreadable_number_text(std::string_view item, item_error error, std::int64_t value,
                                   const std::string& of_what, name_charset charset);
std::string unreadable_number_text(const bad_item& bad, const std::string& of_what,
                                   name_charset charset);

// One line per kind of disagreement (minima, steps, maxima), each starting "the mesh data",
// e.g. "the mesh data give dx = 0.01 m, the table's x step is 0.001 (10 times smaller)", the
// mesh's values named in `unit`, that of the table's positions.
std::vector<std::string> mesh_disagreement_lines(const std::vector<mesh_disagreement>& found,
                                                 const std::string& unit = "m");

}  // namespace vort
