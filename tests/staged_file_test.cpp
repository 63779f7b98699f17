// Files written beside their targets and renamed into place together: all or none.
#include "common/staged_file.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "common/interrupts.hpp"
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
      write_staged_at(files.back(), "new", 3, 0);
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

// A commit whose system calls fail on demand: the call numbered `failing_call` (from 0, links
// and renames counted together) fails once, and with `links_refused` every link fails as on
// a file system without hard links.
std::atomic<int> calls_made{0};
int failing_call = -1;
bool links_refused = false;

bool fails_now(int error) {
  if (calls_made++ != failing_call) return false;
  errno = error;
  return true;
}

const commit_calls flaky_calls{
    [](const char* from, const char* to) {
      if (links_refused) {
        errno = EPERM;
        return -1;
      }
      return fails_now(EMLINK) ? -1 : ::link(from, to);
    },
    [](const char* from, const char* to) { return fails_now(EIO) ? -1 : ::rename(from, to); }};

enum class earlier { file, none, link };

// Six targets: two earlier files, two new names, two symbolic links to earlier files. Each
// call of a commit fails in turn, with and without hard links: a commit that fails leaves
// every earlier file byte for byte and no new one; one that succeeds puts every new file in
// place. Nothing hidden is left either way, whether the renames run on one thread or on
// several at once.
TEST(StagedFiles, AFailingCallAtAnyStepLosesNoEarlierFile) {
  const earlier kinds[] = {earlier::file, earlier::none, earlier::link,
                           earlier::file, earlier::none, earlier::link};
  struct commit_case {
    bool without_links;
    int threads;
  };
  for (const commit_case c :
       {commit_case{false, 1}, commit_case{true, 1}, commit_case{false, 3}, commit_case{true, 8}}) {
    const bool without_links = c.without_links;
    const int threads = c.threads;
    for (int call = 0;; ++call) {
      const std::string label = std::to_string(without_links) + " " + std::to_string(threads) +
                                " " + std::to_string(call);
      const fs::path dir = fs::temp_directory_path() /
                           ("vort2pelta-commit-" + std::to_string(::getpid()) + "-" + label);
      fs::remove_all(dir);
      fs::create_directories(dir);
      std::vector<staged_file> files;
      for (int n = 0; n < 6; ++n) {
        const std::string name = "f" + std::to_string(n);
        if (kinds[n] == earlier::file) std::ofstream(dir / name) << "earlier " << n;
        if (kinds[n] == earlier::link) {
          std::ofstream(dir / ("real" + name)) << "earlier " << n;
          fs::create_symlink("real" + name, dir / name);
        }
        files.push_back(stage_file((dir / name).string()));
        write_staged_at(files.back(), "new", 3, 0);
        close_staged(files.back());
      }
      std::vector<staged_file*> set;
      for (staged_file& file : files) set.push_back(&file);
      calls_made = 0;
      failing_call = call;
      links_refused = without_links;
      const std::string failure = failure_of([&] { commit_staged(set, threads, flaky_calls); });
      const bool committed = failure == "(no failure)";
      files.clear();
      std::vector<std::string> expected_names;  // and nothing hidden beside them
      for (int n = 0; n < 6; ++n) {
        const std::string name = "f" + std::to_string(n);
        const std::string expected = committed                   ? "new"
                                     : kinds[n] == earlier::none ? "(none)"
                                                                 : "earlier " + std::to_string(n);
        EXPECT_EQ(fs::exists(dir / name) ? contents(dir / name) : "(none)", expected)
            << label << " " << name;
        EXPECT_EQ(fs::is_symlink(dir / name), kinds[n] == earlier::link) << label << " " << name;
        if (kinds[n] != earlier::none || committed) expected_names.push_back(name);
        if (kinds[n] == earlier::link) expected_names.push_back("real" + name);
      }
      std::sort(expected_names.begin(), expected_names.end());
      std::vector<std::string> after;
      for (const auto& entry : fs::directory_iterator(dir)) {
        after.push_back(entry.path().filename().string());
      }
      std::sort(after.begin(), after.end());
      EXPECT_EQ(after, expected_names) << label;
      fs::remove_all(dir);
      if (calls_made <= call) break;  // no call failed: every step has had its turn
    }
  }
  failing_call = -1;
  links_refused = false;
}

// The temporary has the permissions of the file it replaces from the start (a new one those
// of the umask), and the names of one set must be distinct files.
TEST(StagedFiles, PermissionsAndNamesOfASet) {
  const fs::path dir =
      fs::temp_directory_path() / ("vort2pelta-names-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const mode_t umask_before = ::umask(022);
  for (const mode_t mode : {0600, 0640, 0755}) {
    const fs::path target = dir / ("m" + std::to_string(mode));
    std::ofstream(target) << "earlier";
    ::chmod(target.c_str(), mode);
    const staged_file file = stage_file(target.string());
    struct stat status {};
    ::fstat(file.fd, &status);
    EXPECT_EQ(status.st_mode & 07777, mode);
  }
  {
    const staged_file file = stage_file((dir / "new").string());
    struct stat status {};
    ::fstat(file.fd, &status);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
  }
  ::umask(umask_before);
  fs::create_symlink("a", dir / "b");
  fs::create_directory(dir / "sub");
  fs::create_symlink("sub", dir / "same-sub");
  const std::string a = (dir / "a").string(), b = (dir / "b").string(), c = (dir / "c").string(),
                    in_sub = (dir / "sub" / "c").string(),
                    via_link = (dir / "same-sub" / "c").string();
  const std::vector<std::pair<std::vector<std::string>, std::string>> sets = {
      {{a, c, in_sub}, "(no failure)"},
      {{a, c, b}, "cannot create " + in_quotes(b) + ": it is the same file as " + in_quotes(a)},
      {{in_sub, a, via_link},
       "cannot create " + in_quotes(via_link) + ": it is the same file as " + in_quotes(in_sub)},
      {{c, c}, "cannot create " + in_quotes(c) + ": it is the same file as " + in_quotes(c)},
  };
  for (const auto& [names, message] : sets) {
    const std::vector<std::string> set = names;
    EXPECT_EQ(failure_of([&] { check_distinct_files(set); }), message) << message;
  }
  // More files at once than an interrupt can track are refused, not left untracked.
  std::vector<staged_file> many;
  std::string refusal;
  for (int n = 0; n < max_temporaries + 1 && refusal.empty(); ++n) {
    try {
      many.push_back(stage_file((dir / ("many" + std::to_string(n))).string()));
    } catch (const failure& f) {
      refusal = f.message;
    }
  }
  EXPECT_EQ(refusal, "cannot create " + in_quotes((dir / "many16").string()) +
                         ": more than 16 files are being written at once");
  many.clear();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vort
