// Runs without questions: --mesh and --mirror give the same maps as the answers and read
// nothing; --mesh=auto gives the maps of the mesh that --inspect shows; a gzip table the maps
// of the plain one; --preview a picture of the map as written.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "fieldmap/field_kind.hpp"
#include "fieldmap/map_axes.hpp"
#include "input/line_counter.hpp"
#include "input/record_table.hpp"
#include "input/table_file.hpp"
#include "input/table_reader.hpp"
#include "preview/picture.hpp"
#include "run_binary.hpp"

namespace fs = std::filesystem;
using e2e::files_in;
using e2e::make_temp_dir;
using e2e::read_file;
using e2e::run_vort2pelta;
using e2e::write_file;

namespace {

const fs::path example = fs::path(VORT2PELTA_EXAMPLES_DIR) / "half_cavity.txt";
const std::string example_mesh = "-0.08,-0.08,0, 0,0.08,0.1, 0.008,0.008,0.01";
const std::vector<std::string> maps = {"3D_Re-cav.bx", "3D_Re-cav.by", "3D_Re-cav.bz",
                                       "3D_Im-cav.bx", "3D_Im-cav.by", "3D_Im-cav.bz"};

struct scratch {
  fs::path dir = make_temp_dir();
  scratch() { fs::copy_file(example, dir / "half_cavity.txt"); }
  ~scratch() { fs::remove_all(dir); }
  std::vector<std::string> maps_written() const {
    std::vector<std::string> texts;
    for (const std::string& name : maps) texts.push_back(read_file(dir / name));
    return texts;
  }
};

std::vector<std::string> with(std::vector<std::string> options, const std::string& table) {
  options.insert(options.end(), {"11", "21", "11", table, "cav", "B"});
  return options;
}

// Standard input a directory: a run that read it would fail.
const e2e::run_options no_input{.stdin_path = "/"};

TEST(Options, AnswersGivenAsOptionsReadNothing) {
  for (const char mirror : {'F', 'Y', 'X'}) {
    scratch asked, given;
    const auto dialogue =
        run_vort2pelta(asked.dir, with({}, "half_cavity.txt"), example_mesh + "\n" + mirror + "\n");
    const auto options = run_vort2pelta(
        given.dir,
        with({"--mesh=" + example_mesh, "--mirror", std::string(1, mirror)}, "half_cavity.txt"), "",
        no_input);
    EXPECT_EQ(options.status, 0) << options.err;
    EXPECT_EQ(dialogue.err, options.err);
    // The same transcript without the two prompts.
    const std::string prompts =
        " Write mesh data (as: xmin,ymin,zmin,xmax,ymax,zmaz,dx,dy,dz):\n"
        " Magnetic mirror:Y,X,F(False)\n";
    ASSERT_EQ(dialogue.out.rfind(prompts, 0), 0u);
    EXPECT_EQ(options.out, dialogue.out.substr(prompts.size()));
    EXPECT_EQ(options.out.substr(0, 4), mirror == 'F' ? " ful" : std::string(" ") + mirror + "Z ");
    EXPECT_EQ(given.maps_written(), asked.maps_written()) << mirror;
  }
}

TEST(Options, MeshAutoIsTheMeshThatInspectShows) {
  scratch inspected, typed, automatic;
  const auto inspection =
      run_vort2pelta(inspected.dir, {"--inspect", "half_cavity.txt"}, "", no_input);
  EXPECT_EQ(inspection.status, 0) << inspection.err;
  EXPECT_EQ(files_in(inspected.dir), std::vector<std::string>{"half_cavity.txt"});
  const std::size_t at = inspection.out.find("\nmesh: ");
  ASSERT_NE(at, std::string::npos);
  const std::string mesh_line =
      inspection.out.substr(at + 7, inspection.out.find('\n', at + 1) - at - 7);
  EXPECT_EQ(mesh_line, "-0.08,-0.08,0,0,0.08,0.1,0.008,0.008,0.01");
  EXPECT_NE(inspection.out.find("\nconvert: VORT2Pelta --mesh=auto --symmetry=yz:magnetic 11 21 11 "
                                "half_cavity.txt <base> B\n"),
            std::string::npos);
  EXPECT_EQ(run_vort2pelta(typed.dir, with({}, "half_cavity.txt"), mesh_line + "\nY\n").status, 0);
  EXPECT_EQ(run_vort2pelta(automatic.dir,
                           with({"--mesh=auto", "--symmetry=yz:magnetic"}, "half_cavity.txt"), "",
                           no_input)
                .status,
            0);
  EXPECT_EQ(automatic.maps_written(), typed.maps_written());
}

void write_gzip(const fs::path& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
}

TEST(CompressedTable, SameMapsAndMessagesOfTheDecompressedText) {
  scratch plain, compressed;
  const std::string text = read_file(example);
  write_gzip(compressed.dir / "half_cavity.txt.gz", text);
  const std::string answers = example_mesh + "\nY\n";
  const auto plain_run = run_vort2pelta(plain.dir, with({}, "half_cavity.txt"), answers);
  const auto gzip_run = run_vort2pelta(compressed.dir, with({}, "half_cavity.txt.gz"), answers);
  EXPECT_EQ(gzip_run.status, 0) << gzip_run.err;
  EXPECT_EQ(gzip_run.out, plain_run.out);
  EXPECT_EQ(compressed.maps_written(), plain.maps_written());

  // A bad value is named by the compressed file and the line of the decompressed text.
  std::string damaged = text;
  const std::size_t line_40 = [&] {
    std::size_t at = 0;
    for (int line = 1; line < 40; ++line) at = damaged.find('\n', at) + 1;
    return at;
  }();
  const std::size_t first_value = damaged.find_first_not_of(' ', line_40);
  damaged.replace(first_value, damaged.find(' ', first_value) - first_value, "1.2.3");
  write_gzip(compressed.dir / "bad.gz", damaged);
  const auto bad = run_vort2pelta(compressed.dir, with({}, "bad.gz"), answers);
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "VORT2Pelta: bad.gz:40: cannot read \"1.2.3\" as a number (value 1 of record 38)\n");

  // A compressed file cut short is refused as damaged, before anything is written.
  const std::string whole = read_file(compressed.dir / "half_cavity.txt.gz");
  write_file(compressed.dir / "cut.gz", whole.substr(0, whole.size() / 2));
  const auto cut = run_vort2pelta(compressed.dir, with({}, "cut.gz"), answers);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err,
            "VORT2Pelta: cannot read \"cut.gz\": the compressed data are damaged (unexpected end "
            "of file)\n");
}

vort::preview_image decode_png(const fs::path& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  vort::preview_image image;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0) return image;
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) == 0) image.width = 0;
  return image;
}

bool pixel_white(const vort::preview_image& image, int x, int y) {
  const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
  return image.rgb[at] == 255 && image.rgb[at + 1] == 255 && image.rgb[at + 2] == 255;
}

// The picture of the half cavity, mirrored: the pixels are those of the map as written
// (drawn here from the same table), the real parts and Bz (zero everywhere) are white, and
// the transverse Im Bx, even in x, is symmetric left to right.
TEST(Preview, PictureOfTheMapAsWritten) {
  scratch s;
  write_file(s.dir / "3D-cav.png", "an earlier picture\n");
  const auto run = run_vort2pelta(
      s.dir, with({"--preview", "--mesh=" + example_mesh, "--mirror=Y"}, "half_cavity.txt"), "",
      no_input);
  EXPECT_EQ(run.status, 0) << run.err;
  const vort::preview_image written = decode_png(s.dir / "3D-cav.png");
  ASSERT_GT(written.width, 0);
  EXPECT_GE(written.width, 200);
  EXPECT_GE(written.height, 200);

  const vort::grid_counts counts{11, 21, 11};
  vort::record_table table = vort::allocate_record_table(counts);
  vort::read_table(vort::open_table(example.string()), table);
  const vort::map_axes axes =
      vort::build_map_axes(counts, {{-0.08f, -0.08f, 0}, {0, 0.08f, 0.1f}, {0.008f, 0.008f, 0.01f}},
                           vort::symmetry_of({{0, vort::wall_kind::magnetic}}));
  const vort::drawn_preview drawn =
      vort::draw_preview(table, vort::select_field_kind('B'),
                         vort::symmetry_of({{0, vort::wall_kind::magnetic}}), axes);
  EXPECT_EQ(written.width, drawn.image.width);
  EXPECT_TRUE(written.rgb == drawn.image.rgb);

  for (std::size_t component = 0; component < 3; ++component) {
    for (std::size_t slot = 0; slot < vort::panel_slots; ++slot) {
      if (!vort::is_real(slot) && component != 2) continue;
      const vort::pixel_rect& panel = drawn.layout.rows[component].panels[slot];
      for (int y = panel.y; y < panel.y + panel.height; ++y) {
        for (int x = panel.x; x < panel.x + panel.width; ++x) {
          ASSERT_TRUE(pixel_white(written, x, y)) << component << " " << slot;
        }
      }
    }
  }
  const vort::pixel_rect& im_bx = drawn.layout.rows[0].panels[vort::im_transverse];
  for (int y = im_bx.y; y < im_bx.y + im_bx.height; ++y) {
    for (int x = 0; x < im_bx.width / 2; ++x) {
      const std::size_t left = (static_cast<std::size_t>(y) * written.width + im_bx.x + x) * 3;
      const std::size_t right =
          (static_cast<std::size_t>(y) * written.width + im_bx.x + im_bx.width - 1 - x) * 3;
      ASSERT_TRUE(std::equal(&written.rgb[left], &written.rgb[left] + 3, &written.rgb[right]))
          << x << " " << y;
    }
  }
}

}  // namespace
