// Files written beside their targets and renamed into place together: all or none.
#include "common/staged_file.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "failure_of.hpp"

namespace vort {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Seven staged files over earlier ones (the last target new); one target turned into a
// directory that a rename cannot replace. No target may change, nothing may stay behind.
TEST(StagedFiles, ACommitThatFailsReplacesNothing) {
  for (int blocked = 0; blocked < 7; ++blocked) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("vort2pelta-staged-" + std::to_string(::getpid()) + "-" + std::to_string(blocked));
    fs::create_directories(dir);
    std::vector<staged_file> files;
    for (int n = 0; n < 7; ++n) {
      const fs::path target = dir / ("f" + std::to_string(n));
      if (n < 6) std::ofstream(target) << "earlier " << n;
      files.push_back(stage_file(target.string()));
      write_staged(files.back(), "new", 3);
      close_staged(files.back());
    }
    const fs::path in_the_way = dir / ("f" + std::to_string(blocked));
    fs::remove(in_the_way);
    fs::create_directories(in_the_way / "inside");
    std::vector<staged_file*> set;
    for (staged_file& file : files) set.push_back(&file);
    EXPECT_EQ(
        failure_of([&] { commit_staged(set); }).rfind("cannot create \"" + in_the_way.string(), 0),
        0u)
        << blocked;
    files.clear();
    for (int n = 0; n < 7; ++n) {
      if (n == blocked) continue;
      const fs::path target = dir / ("f" + std::to_string(n));
      EXPECT_EQ(fs::exists(target) ? contents(target) : "(none)",
                n < 6 ? "earlier " + std::to_string(n) : "(none)")
          << blocked << " " << n;
    }
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, blocked < 6 ? 6u : 7u) << blocked;  // no temporary or second name left
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace vort
