// Whole maps from symmetric parts, tested as a physicist would: a field made symmetric under
// each plane's reflection (with the signs its wall gives E, a polar vector, and B, an axial
// one), converted whole and converted from the part a solver would have computed, must give
// the same six maps: header axes within single-precision rounding, bodies equal byte for byte.
// And the wall check speaks up when the part, the plane or the wall is not what was said.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

enum class wall { magnetic, electric };
enum class part { below, above };  // the stored part lies below its plane, or above it

struct plane {
  int normal;  // 0 x (the YZ plane), 1 y (XZ), 2 z (XY)
  wall kind;
  part stored = part::below;
  double at = 0;            // where the plane lies along its axis
  bool descending = false;  // the positions along the axis go down
};

// The sign a reflection in a plane of normal n gives field component c. E: a magnetic wall
// (tangential H = 0) keeps E's tangential components and reverses the normal one; an electric
// wall (tangential E = 0) does the opposite. B, an axial vector, has the opposite signs of E.
int sign_of(int c, const plane& p, bool b_field) {
  const bool normal = c == p.normal;
  const bool kept = (p.kind == wall::magnetic) ? !normal : normal;
  return (kept != b_field) ? 1 : -1;
}

// A smooth field with no symmetry of its own: part f (Re x, Im x, Re y, Im y, Re z, Im z).
double smooth_field(int f, const std::array<double, 3>& r) {
  const double x = r[0] * 70, y = r[1] * 50, z = r[2] * 30;
  return std::sin(1.3 * x + 0.7 * y + 0.4 * z + 0.3 * f) + 0.5 * std::cos(2.1 * y - z + f) +
         0.2 * x * (f + 1) - 0.1 * z * y + 0.05 * f;
}

// The knots of one axis of the whole structure: 2n - 1 about its plane for a mirrored axis,
// else n from an offset.
std::vector<double> whole_axis(int knots, double step, const plane* mirror, double offset) {
  std::vector<double> axis;
  const int count = mirror != nullptr ? 2 * knots - 1 : knots;
  for (int n = 0; n < count; ++n) {
    axis.push_back(mirror != nullptr ? mirror->at + (n - (knots - 1)) * step : offset + n * step);
  }
  return axis;
}

struct symmetric_case {
  std::string name;
  std::vector<plane> planes;
  char flag;
  std::vector<std::string> options;  // how the part is converted (--symmetry, --mirror)
  double part_per_metre = 1;         // the part's positions in this unit (--length-unit)
};

const std::array<int, 3> part_knots = {3, 4, 3};
const std::array<double, 3> steps = {0.01, 0.02, 0.025};
const std::array<double, 3> offsets = {-0.01, -0.03, 0.05};

struct tables {
  std::string whole, part;
  std::array<int, 3> whole_counts{}, part_counts{};
};

// The field made symmetric on the stored part (the average over every combination of the
// planes' reflections), and the whole table filled from it: a knot reflected in some planes
// carries the product of their signs, exactly.
tables symmetric_tables(const std::vector<plane>& planes, bool b_field) {
  std::array<const plane*, 3> by_axis{};
  for (const plane& p : planes) by_axis[static_cast<std::size_t>(p.normal)] = &p;
  std::array<std::vector<double>, 3> whole;
  tables t;
  for (std::size_t a = 0; a < 3; ++a) {
    const bool descending = by_axis[a] != nullptr && by_axis[a]->descending;
    whole[a] = whole_axis(part_knots[a], descending ? -steps[a] : steps[a], by_axis[a], offsets[a]);
    t.whole_counts[a] = static_cast<int>(whole[a].size());
    t.part_counts[a] = part_knots[a];
  }
  // The whole axis's index of the stored knot that a whole knot shows, along each axis, and
  // whether it is reflected.
  const auto stored_of = [&](std::size_t a, int n, bool& reflected) {
    reflected = false;
    if (by_axis[a] == nullptr) return n;
    const int middle = part_knots[a] - 1;
    const bool below = n <= middle;
    reflected = by_axis[a]->stored == part::below ? !below : n < middle;
    return reflected ? 2 * middle - n : n;
  };
  const auto symmetric = [&](int f, std::array<double, 3> r) {
    double sum = 0;
    const int combinations = 1 << planes.size();
    for (int s = 0; s < combinations; ++s) {
      std::array<double, 3> image = r;
      int sign = 1;
      for (std::size_t p = 0; p < planes.size(); ++p) {
        if ((s & (1 << p)) == 0) continue;
        double& coordinate = image[static_cast<std::size_t>(planes[p].normal)];
        coordinate = 2 * planes[p].at - coordinate;
        sign *= sign_of(f / 2, planes[p], b_field);
      }
      sum += sign * smooth_field(f, image);
    }
    return sum / combinations;
  };
  std::ostringstream whole_text, part_text;
  whole_text << "whole structure\nx y z Re Fx Im Fx Re Fy Im Fy Re Fz Im Fz\n";
  part_text << "part of a symmetric structure\nx y z Re Fx Im Fx Re Fy Im Fy Re Fz Im Fz\n";
  char line[512];
  for (int i = 0; i < t.whole_counts[0]; ++i) {
    for (int j = 0; j < t.whole_counts[1]; ++j) {
      for (int k = 0; k < t.whole_counts[2]; ++k) {
        std::array<bool, 3> reflected{};
        const std::array<int, 3> index{stored_of(0, i, reflected[0]), stored_of(1, j, reflected[1]),
                                       stored_of(2, k, reflected[2])};
        std::array<double, 3> stored_position{};
        for (std::size_t a = 0; a < 3; ++a) {
          stored_position[a] = whole[a][static_cast<std::size_t>(index[a])];
        }
        const bool in_part = !reflected[0] && !reflected[1] && !reflected[2];
        std::string values;
        for (int f = 0; f < 6; ++f) {
          double value = symmetric(f, stored_position);
          for (std::size_t a = 0; a < 3; ++a) {
            if (reflected[a]) value *= sign_of(f / 2, *by_axis[a], b_field);
          }
          std::snprintf(line, sizeof line, " %.17g", value);
          values += line;
        }
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g", whole[0][static_cast<std::size_t>(i)],
                      whole[1][static_cast<std::size_t>(j)], whole[2][static_cast<std::size_t>(k)]);
        whole_text << line << values << "\n";
        if (in_part) part_text << line << values << "\n";
      }
    }
  }
  t.whole = whole_text.str();
  t.part = part_text.str();
  return t;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The values of a header line, as read back.
std::vector<float> header_values(const std::string& line) {
  std::vector<float> values;
  std::istringstream in(line);
  for (float v; in >> v;) values.push_back(v);
  return values;
}

struct converted {
  int status = -1;
  std::string out, err;
  std::vector<std::string> maps;  // the six files
  std::string check_out;          // what --check says of the written map, where asked
};

// `check_options`, where given, are those of a --check of the map written.
converted convert(const std::string& table, const std::array<int, 3>& counts, char flag,
                  std::vector<std::string> options,
                  std::optional<std::vector<std::string>> check_options = std::nullopt) {
  const fs::path dir = make_temp_dir();
  write_file(dir / "t.txt", table);
  options.insert(options.begin(), "--mesh=auto");
  for (const int n : counts) options.push_back(std::to_string(n));
  options.insert(options.end(), {"t.txt", "map", std::string(1, flag)});
  const auto run = run_vort2pelta(dir, options, "", {.stdin_path = "/"});
  converted result{run.status, run.out, run.err, {}, {}};
  if (check_options) {
    std::vector<std::string> check = {"--check", "map"};
    check.insert(check.end(), check_options->begin(), check_options->end());
    const auto checked = run_vort2pelta(dir, check, "");
    result.check_out = checked.out + checked.err;
  }
  const std::string ext = flag == 'B' ? ".b" : ".e";
  for (const char* part_name : {"3D_Re-map", "3D_Im-map"}) {
    for (const char c : {'x', 'y', 'z'}) {
      const fs::path file = dir / (part_name + ext + c);
      result.maps.push_back(fs::exists(file) ? read_file(file) : "");
    }
  }
  fs::remove_all(dir);
  return result;
}

void expect_same_maps(const converted& whole, const converted& part, const std::string& name) {
  ASSERT_EQ(whole.status, 0) << name << ": " << whole.err;
  ASSERT_EQ(part.status, 0) << name << ": " << part.err;
  // Silent, but for a flag other than E and B, which is warned about in its own right.
  EXPECT_EQ(part.err, whole.err) << name;
  for (std::size_t m = 0; m < 6; ++m) {
    const std::vector<std::string> expected = lines_of(whole.maps[m]);
    const std::vector<std::string> got = lines_of(part.maps[m]);
    ASSERT_EQ(got.size(), expected.size()) << name << " file " << m;
    for (std::size_t h = 0; h < 3; ++h) {
      const std::vector<float> e = header_values(expected[h]), g = header_values(got[h]);
      ASSERT_EQ(g.size(), e.size()) << name << " header " << h;
      for (std::size_t n = 0; n < e.size(); ++n) {
        EXPECT_NEAR(g[n], e[n], 4 * std::fabs(e[n]) * 1.2e-7 + 1e-9)
            << name << " file " << m << " header " << h << " knot " << n;
      }
    }
    for (std::size_t l = 3; l < expected.size(); ++l) {
      ASSERT_EQ(got[l], expected[l]) << name << " file " << m << " line " << l + 1;
    }
  }
}

std::string list_of(const std::vector<plane>& planes) {
  static constexpr const char* names[3] = {"yz", "xz", "xy"};
  std::string text = "--symmetry=";
  for (std::size_t p = 0; p < planes.size(); ++p) {
    text += std::string(p == 0 ? "" : ",") + names[planes[p].normal] + ":" +
            (planes[p].kind == wall::magnetic ? "magnetic" : "electric");
  }
  return text;
}

std::vector<symmetric_case> equivalence_cases() {
  std::vector<symmetric_case> cases;
  for (int normal = 0; normal < 3; ++normal) {
    for (const wall kind : {wall::magnetic, wall::electric}) {
      for (const part stored : {part::below, part::above}) {
        for (const char flag : {'E', 'B'}) {
          const std::vector<plane> planes{{normal, kind, stored}};
          cases.push_back({list_of(planes) + (stored == part::below ? " below " : " above ") + flag,
                           planes,
                           flag,
                           {list_of(planes)}});
        }
      }
    }
  }
  const std::vector<plane> quarter{{0, wall::magnetic, part::below},
                                   {1, wall::electric, part::above}};
  const std::vector<plane> eighth{{0, wall::magnetic, part::above},
                                  {1, wall::magnetic, part::below},
                                  {2, wall::electric, part::above}};
  // A part that starts at 0 below a plane at its last knot: the origin at the structure's edge.
  const std::vector<plane> from_edge{{0, wall::electric, part::below, 0.02}};
  // Listed from the plane at 0 down, the plane at the first knot; and an upper part whose
  // positions start at its plane at 0.1, not at 0.
  const std::vector<plane> down_from_plane{{0, wall::magnetic, part::above, 0, true}};
  const std::vector<plane> down_to_plane{{1, wall::electric, part::below, 0, true}};
  const std::vector<plane> upper_off_zero{{0, wall::magnetic, part::above, 0.1}};
  for (const char flag : {'E', 'B'}) {
    cases.push_back({std::string("from the edge ") + flag, from_edge, flag, {list_of(from_edge)}});
    cases.push_back({std::string("descending from the plane ") + flag,
                     down_from_plane,
                     flag,
                     {list_of(down_from_plane)}});
    cases.push_back({std::string("descending to the plane ") + flag,
                     down_to_plane,
                     flag,
                     {list_of(down_to_plane)}});
    cases.push_back(
        {std::string("upper part off zero ") + flag, upper_off_zero, flag, {"--mirror=Y"}});
    cases.push_back({std::string("quarter ") + flag, quarter, flag, {list_of(quarter)}});
    cases.push_back({std::string("eighth ") + flag, eighth, flag, {list_of(eighth)}});
    cases.push_back({std::string("answer Y ") + flag, {{0, wall::magnetic}}, flag, {"--mirror=Y"}});
    cases.push_back({std::string("answer X ") + flag, {{1, wall::magnetic}}, flag, {"--mirror=X"}});
  }
  cases.push_back({"answer Y, another flag", {{0, wall::magnetic}}, 'e', {"--mirror=Y"}});
  // A table in millimetres gives the map of the same table in metres.
  cases.push_back({"whole in mm", {}, 'E', {"--mirror=F", "--length-unit=mm"}, 1000});
  cases.push_back({"eighth in mm B", eighth, 'B', {list_of(eighth), "--length-unit=mm"}, 1000});
  cases.push_back({"quarter in um", quarter, 'E', {list_of(quarter), "--length-unit=um"}, 1e6});
  cases.push_back({"quarter in cm", quarter, 'E', {list_of(quarter), "--length-unit=cm"}, 100});
  return cases;
}

// The table with its positions in a unit of which `per_metre` make a metre.
std::string in_unit(const std::string& table, double per_metre) {
  if (per_metre == 1) return table;
  std::istringstream in(table);
  std::string text, line;
  for (int header = 0; header < 2 && std::getline(in, line); ++header) text += line + "\n";
  char number[64];
  while (std::getline(in, line)) {
    std::istringstream values(line);
    double position = 0;
    for (int a = 0; a < 3 && values >> position; ++a) {
      std::snprintf(number, sizeof number, "%s%.17g", a == 0 ? "" : " ", position * per_metre);
      text += number;
    }
    std::string rest;
    std::getline(values, rest);
    text += rest + "\n";
  }
  return text;
}

// What --inspect says of a table.
std::string inspection_of(const std::string& table) {
  const fs::path dir = make_temp_dir();
  write_file(dir / "t.txt", table);
  const auto run = run_vort2pelta(dir, {"--inspect", "t.txt"}, "");
  fs::remove_all(dir);
  return run.out + run.err;
}

// Its convert line for a field of the flag.
std::string conversion_for(const std::string& inspection, char flag) {
  std::istringstream lines(inspection);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("convert: ", 0) == 0 && line.back() == flag) return line;
  }
  return "";
}

TEST(Symmetry, WholeAndPartGiveTheSameMaps) {
  for (const symmetric_case& c : equivalence_cases()) {
    const tables t = symmetric_tables(c.planes, c.flag == 'B');
    const converted whole = convert(t.whole, t.whole_counts, c.flag, {"--mirror=F"});
    const converted part =
        convert(in_unit(t.part, c.part_per_metre), t.part_counts, c.flag, c.options);
    expect_same_maps(whole, part, c.name);
    // A plane at the first knot of its axis is said, once, after the mirror echo.
    for (const plane& p : c.planes) {
      static constexpr const char* names[3] = {"YZ", "XZ", "XY"};
      static constexpr const char* axes[3] = {"x", "y", "z"};
      const std::string said = std::string(" ") + names[p.normal] +
                               (p.kind == wall::magnetic ? " magnetic" : " electric") +
                               " mirror at the first " + axes[p.normal] +
                               " knot: the table holds the part above it\n";
      EXPECT_EQ(part.out.find(said) != std::string::npos, p.stored == part::above) << c.name;
    }
    // --inspect finds the planes at 0 and walls of the part: which end of each axis lies at
    // zero, and what the field there fits, read as the flag's field.
    const bool planes_at_zero =
        std::all_of(c.planes.begin(), c.planes.end(), [](const plane& p) { return p.at == 0; });
    if (c.options[0].rfind("--symmetry", 0) == 0 && c.flag != 'e' && planes_at_zero &&
        c.part_per_metre == 1) {
      const std::string inspection = inspection_of(t.part);
      EXPECT_EQ(conversion_for(inspection, c.flag),
                "convert: VORT2Pelta --mesh=auto " + c.options[0] + " 3 4 3 t.txt <base> " + c.flag)
          << c.name << "\n"
          << inspection;
    }
  }
}

struct warning_case {
  std::string name;
  std::vector<plane> made;  // the symmetry of the field and the part stored
  bool b_field;
  std::vector<std::string> options;   // what the part is converted with
  std::vector<std::string> warnings;  // the start of each line on standard error
};

// The y axis of the parts runs from -0.03 to 0.03: it already holds both sides of an XZ plane.
const std::string y_is_whole =
    "VORT2Pelta: warning: y already holds both sides of zero, from -0.03 to 0.03, yet the XZ "
    "plane mirrors it at y = 0.03: is the table whole along y, or the symmetry plane another?\n";

TEST(Symmetry, TheWallCheckSpeaksWhenThePartIsNotWhatWasSaid) {
  const std::vector<warning_case> cases = {
      {"another plane",
       {{0, wall::magnetic}},
       false,
       {"--symmetry=xz:magnetic"},
       {y_is_whole,
        "VORT2Pelta: warning: the field does not fit a magnetic wall on the XZ plane at y = "
        "0.03: "}},
      {"the other wall",
       {{0, wall::magnetic}},
       true,
       {"--symmetry=yz:electric"},
       {"VORT2Pelta: warning: the field does not fit an electric wall on the YZ plane at x = 0: "}},
      {"answer X for a part cut in x",
       {{0, wall::magnetic}},
       true,
       {"--mirror=X"},
       {y_is_whole,
        "VORT2Pelta: warning: the field does not fit a magnetic wall on the XZ plane at y = "
        "0.03: "}},
      {"another plane, its end given",
       {{0, wall::magnetic}},
       false,
       {"--symmetry=xz:magnetic:first"},
       {"VORT2Pelta: warning: y already holds both sides of zero, from -0.03 to 0.03, yet the XZ "
        "plane mirrors it at y = -0.03: is the table whole along y, or the symmetry plane "
        "another?\n",
        "VORT2Pelta: warning: the field does not fit a magnetic wall on the XZ plane at y = "
        "-0.03: "}},
      {"a whole table mirrored",
       {},
       false,
       {"--mirror=Y"},
       {"VORT2Pelta: warning: x already holds both sides of zero, from -0.01 to 0.01, yet the YZ "
        "plane mirrors it at x = 0.01: is the table whole along x, or the symmetry plane "
        "another?\n",
        "VORT2Pelta: warning: the field does not fit a magnetic wall on the YZ plane at x = "
        "0.01: "}},
  };
  for (const warning_case& c : cases) {
    const tables t = symmetric_tables(c.made, c.b_field);
    const converted part = convert(t.part, t.part_counts, c.b_field ? 'B' : 'E', c.options);
    EXPECT_EQ(part.status, 0) << c.name;
    const std::vector<std::string> lines = lines_of(part.err);
    ASSERT_EQ(lines.size(), c.warnings.size()) << c.name << ": " << part.err;
    for (std::size_t l = 0; l < lines.size(); ++l) {
      EXPECT_EQ((lines[l] + "\n").rfind(c.warnings[l], 0), 0u) << c.name << ": " << part.err;
    }
  }
}

// The shipped half (x from -0.08 to 0, the B field of a TM010 cavity, zero beyond its radius,
// with a magnetic wall at x = 0) as a solver may list it otherwise. Mirrored with Y, each must
// give, without a word, the maps of its plane's end given in --symmetry, and --inspect must
// propose that plane.
std::vector<std::string> x_planes_of(const std::string& table, std::string& header) {
  std::vector<std::string> lines = lines_of(table);
  header = lines[0] + "\n" + lines[1] + "\n";
  std::vector<std::string> planes;
  const std::size_t plane_records = 21 * 11;
  for (std::size_t r = 0; r + 2 < lines.size(); ++r) {
    if (r % plane_records == 0) planes.emplace_back();
    planes.back() += lines[r + 2] + "\n";
  }
  return planes;
}

// x planes listed from the last to the first.
std::string x_reversed(const std::string& table) {
  std::string header;
  const std::vector<std::string> planes = x_planes_of(table, header);
  std::string text = header;
  for (auto plane = planes.rbegin(); plane != planes.rend(); ++plane) text += *plane;
  return text;
}

// The image in the plane x = 0, moved up by 0.1: the upper half from its plane at x = 0.1 to
// x = 0.18. At a magnetic wall B keeps its normal component and reverses the others.
std::string upper_half_from(const std::string& table) {
  std::istringstream records(x_reversed(table));
  std::string text, line;
  std::getline(records, line);
  text += line + "\n";
  std::getline(records, line);
  text += line + "\n";
  char out[256];
  for (std::array<double, 9> v{};
       records >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5] >> v[6] >> v[7] >> v[8];) {
    std::snprintf(out, sizeof out, "%.7e %.7e %.7e %.7e %.7e %.7e %.7e %.7e %.7e\n", 0.1 - v[0],
                  v[1], v[2], v[3], v[4], -v[5], -v[6], -v[7], -v[8]);
    text += out;
  }
  return text;
}

TEST(Symmetry, TheShippedHalfListedOtherwiseIsMirroredAtItsPlane) {
  struct listing {
    std::string name;
    std::function<std::string(const std::string&)> make;
    std::string end;  // the plane's end of the axis, as --symmetry gives it
  };
  const std::vector<listing> listings = {
      {"as shipped", [](const std::string& t) { return t; }, "yz:magnetic:last"},
      {"listed from x = 0 down", x_reversed, "yz:magnetic:first"},
      {"the upper half from x = 0.1", upper_half_from, "yz:magnetic:first"},
  };
  const std::string shipped = read_file(fs::path(VORT2PELTA_EXAMPLES_DIR) / "half_cavity.txt");
  for (const listing& l : listings) {
    const std::string table = l.make(shipped);
    const converted mirrored = convert(table, {11, 21, 11}, 'B', {"--mirror=Y"});
    const converted told = convert(table, {11, 21, 11}, 'B', {"--symmetry=" + l.end});
    EXPECT_EQ(mirrored.status, 0) << l.name;
    EXPECT_EQ(mirrored.err, "") << l.name;
    EXPECT_EQ(told.err, "") << l.name;
    EXPECT_EQ(mirrored.maps, told.maps) << l.name;
    // --inspect proposes the plane that the conversion takes.
    EXPECT_EQ(conversion_for(inspection_of(table), 'B'),
              "convert: VORT2Pelta --mesh=auto --symmetry=yz:magnetic 11 21 11 t.txt <base> B")
        << l.name;
  }
}

}  // namespace

// A part whose field fits the wall at both ends of z (a metal end wall fits an electric wall
// as a symmetry plane does): the plane is taken at z = 0, in the part above it or below it;
// above it with a warning that says how to put it at the other end, which the end given then
// does.
TEST(Symmetry, APlaneTheFieldCannotPlaceIsAskedFor) {
  struct asked_case {
    std::string name;
    double first_z;           // the part's z runs from here in 3 knots 0.025 apart
    std::string warning;      // the one line on standard error
    bool upper;               // the plane at the first knot: the part above it
    std::string other_end;    // the --symmetry that puts it at the other end
    std::string told_z_axis;  // the z header line of the map so told
  };
  const std::vector<asked_case> cases = {
      {"from the end wall at z = 0 up", 0,
       "VORT2Pelta: warning: the field fits an electric wall at both ends of z, z = 0 and "
       "z = 0.05: the XY plane was taken at z = 0; if it lies at z = 0.05 (the other end a "
       "wall of the structure), give xy:electric:last in --symmetry\n",
       true, "--symmetry=xy:electric:last",
       "   5.00000000       0.00000000       2.50000004E-02   5.00000007E-02   7.50000030E-02  "
       "0.100000001    "},
      // The part below the plane, as a table of a lower part has it: taken there silently.
      {"from the end wall at z = -0.05 up to 0", -0.05, "", false, "--symmetry=xy:electric:first",
       "   5.00000000     -0.100000001      -7.50000030E-02  -5.00000007E-02  -2.50000004E-02  "
       " 0.00000000    "},
  };
  for (const asked_case& c : cases) {
    std::string table = "part of a cavity, z from its end wall to its middle\nx y z fields\n";
    char line[256];
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) {
        for (int k = 0; k < 3; ++k) {
          // Bz = 0 everywhere: an electric wall (normal B = 0) fits every z plane.
          std::snprintf(line, sizeof line, "%g %g %g %d %d %d %d 0 0\n", 0.01 * i, 0.01 * j,
                        c.first_z + 0.025 * k, 1 + i + j + k, 2 * k - i, 3 - j, k + j);
          table += line;
        }
      }
    }
    const converted guessed = convert(table, {2, 2, 3}, 'B', {"--symmetry=xy:electric"});
    EXPECT_EQ(guessed.status, 0) << c.name << ": " << guessed.err;
    EXPECT_EQ(guessed.err, c.warning) << c.name;
    EXPECT_EQ(guessed.out.find(" XY electric mirror at the first z knot") != std::string::npos,
              c.upper)
        << c.name;
    const converted told = convert(table, {2, 2, 3}, 'B', {c.other_end});
    EXPECT_EQ(told.err, "") << c.name;
    EXPECT_EQ(lines_of(told.maps[0])[2], c.told_z_axis) << c.name;
  }
}

namespace {

// A pillbox cavity's TM010 mode across a gap of g: Ez = E0 J0(2.405 r / R) on every z, no other
// part, on a 0.5 mm grid: the whole gap, or its eighth x, y, z >= 0.
constexpr double pillbox_e0 = 2e6, pillbox_radius = 0.1, pillbox_gap = 0.02, grid_step = 5e-4;

std::string pillbox_table(bool eighth) {
  const int transverse = 20, longitudinal = 40;  // steps across the whole table
  std::string text = "pillbox TM010\nx y z Re Ex Im Ex Re Ey Im Ey Re Ez Im Ez\n";
  char line[256];
  const int from_t = eighth ? 0 : -transverse / 2, from_z = eighth ? 0 : -longitudinal / 2;
  for (int i = from_t; i <= transverse / 2; ++i) {
    for (int j = from_t; j <= transverse / 2; ++j) {
      for (int k = from_z; k <= longitudinal / 2; ++k) {
        const double r = std::hypot(i * grid_step, j * grid_step);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g 0 0 0 0 %.17g 0\n", i * grid_step,
                      j * grid_step, k * grid_step,
                      pillbox_e0 * std::cyl_bessel_j(0.0, 2.405 * r / pillbox_radius));
        text += line;
      }
    }
  }
  return text;
}

// The figure after `label` on the report's line that holds it.
double reported(const std::string& out, const std::string& label) {
  const std::size_t at = out.find(label);
  if (at == std::string::npos) return -1;
  return std::strtod(out.c_str() + at + label.size(), nullptr);
}

struct pillbox_case {
  std::string name;
  bool eighth;
  std::vector<std::string> options;
  double beta;
  double voltage;  // 0: that of the mode as tabled, E0 g T; below 0: that of E0 = -voltage
};

// The voltage and transit-time factor on the axis of the analytic mode, from the whole table
// and from its eighth with its three symmetry planes, as made and normalised to 1 MV.
TEST(OnAxis, PillboxVoltageAndTransitTimeFactor) {
  const double frequency = 1.3e9;
  const std::string eighth_planes =
      "--symmetry=yz:magnetic:first,xz:magnetic:first,xy:electric:first";
  const std::vector<pillbox_case> cases = {
      {"whole", false, {"--mirror=F"}, 1, 0},
      {"eighth", true, {eighth_planes}, 1, 0},
      {"whole at beta 0.5", false, {"--mirror=F", "--beta=0.5"}, 0.5, 0},
      {"eighth at beta 0.5", true, {eighth_planes, "--beta=0.5"}, 0.5, 0},
      {"whole normalised", false, {"--mirror=F", "--normalise=voltage:1e6"}, 1, 1e6},
      {"eighth normalised", true, {eighth_planes, "--normalise=voltage:1e6"}, 1, 1e6},
      // The gradient over the gap's length, and the peak: E0 = 3 MV/m makes V = E0 g T.
      {"whole by its gradient", false, {"--mirror=F", "--normalise=gradient:1e6"}, 1, 1e6 * 0.02},
      {"eighth by its peak", true, {eighth_planes, "--normalise=peak:3e6"}, 1, -3e6},
  };
  const std::array<int, 3> whole_counts{21, 21, 41}, eighth_counts{11, 11, 21};
  for (const pillbox_case& c : cases) {
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--report", "--frequency=1.3e9"});
    // The written map read back gives the figures the conversion reported.
    std::vector<std::string> check_options = {"--frequency=1.3e9"};
    for (const std::string& option : c.options) {
      if (option.starts_with("--beta")) check_options.push_back(option);
    }
    const converted run = convert(pillbox_table(c.eighth), c.eighth ? eighth_counts : whole_counts,
                                  'E', options, check_options);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_EQ(run.err, "") << c.name;
    const double theta = 2 * std::numbers::pi * frequency * pillbox_gap / (c.beta * 299792458.0);
    const double factor = std::sin(theta / 2) / (theta / 2);
    const double e0 = c.voltage < 0 ? -c.voltage : pillbox_e0;
    const double voltage = c.voltage > 0 ? c.voltage : e0 * pillbox_gap * factor;
    const double got_voltage = reported(run.out, ": voltage ");
    const double got_factor = reported(run.out, "transit-time factor ");
    EXPECT_NEAR(got_voltage / voltage, 1, 1e-3) << c.name << "\n" << run.out;
    EXPECT_NEAR(got_factor / factor, 1, 1e-3) << c.name << "\n" << run.out;
    EXPECT_EQ(reported(run.check_out, ": voltage "), got_voltage) << c.name << run.check_out;
    EXPECT_EQ(reported(run.check_out, "transit-time factor "), got_factor) << c.name;
  }
}

// The values of a map's body, line by line.
std::vector<double> body_values(const std::string& map) {
  std::vector<double> values;
  const std::vector<std::string> lines = lines_of(map);
  for (std::size_t l = 3; l < lines.size(); ++l) {
    std::istringstream in(lines[l]);
    for (double v; in >> v;) values.push_back(v);
  }
  return values;
}

// --field-unit=T leaves mu0 out of a B map and keeps the sign rule: each value is the A/m
// map's over mu0 as single precision holds it, of the same sign; the axes are the same.
TEST(OnAxis, FieldInTeslaIsTheMapWithoutMu0) {
  const std::vector<plane> eighth{{0, wall::magnetic, part::above},
                                  {1, wall::magnetic, part::below},
                                  {2, wall::electric, part::above}};
  const tables t = symmetric_tables(eighth, true);
  const converted in_a_per_m = convert(t.part, t.part_counts, 'B', {list_of(eighth)});
  const converted in_tesla =
      convert(t.part, t.part_counts, 'B', {list_of(eighth), "--field-unit=T"});
  ASSERT_EQ(in_a_per_m.status, 0) << in_a_per_m.err;
  ASSERT_EQ(in_tesla.status, 0) << in_tesla.err;
  EXPECT_NE(in_tesla.out.find("\n field unit: T, written without mu0\n"), std::string::npos)
      << in_tesla.out;
  const double mu0 = 1.256637e-6f;
  for (std::size_t m = 0; m < 6; ++m) {
    const std::vector<std::string> a_lines = lines_of(in_a_per_m.maps[m]);
    const std::vector<std::string> t_lines = lines_of(in_tesla.maps[m]);
    ASSERT_EQ(a_lines.size(), t_lines.size());
    for (std::size_t h = 0; h < 3; ++h) EXPECT_EQ(a_lines[h], t_lines[h]);
    const std::vector<double> a = body_values(in_a_per_m.maps[m]);
    const std::vector<double> b = body_values(in_tesla.maps[m]);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t n = 0; n < a.size(); ++n) {
      EXPECT_EQ(std::signbit(a[n]), std::signbit(b[n])) << m << " " << n;
      EXPECT_NEAR(b[n], a[n] / mu0, 1e-15 * std::fabs(b[n])) << m << " " << n;
    }
  }
}

}  // namespace
