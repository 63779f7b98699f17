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

// Faults that last: every rename of a new file onto the target named `rename_onto` fails, and
// so does every rename of a kept earlier file back onto `put_back_onto`; with
// `kept_stay`, every second name resists its removal.
struct lasting_faults {
  std::string rename_onto{};
  std::string put_back_onto{};
  bool kept_stay = false;
};
lasting_faults faults;

bool ends_with_name(const std::string& path, const std::string& name) {
  return !name.empty() && path.ends_with("/" + name);
}

const commit_calls flaky_calls{
    [](const char* from, const char* to) {
      if (links_refused) {
        errno = EPERM;
        return -1;
      }
      return fails_now(EMLINK) ? -1 : ::link(from, to);
    },
    [](const char* from, const char* to) {
      const bool putting_back = std::string(from).ends_with(".old");
      if (ends_with_name(to, putting_back ? faults.put_back_onto : faults.rename_onto)) {
        errno = EIO;
        return -1;
      }
      return fails_now(EIO) ? -1 : ::rename(from, to);
    },
    [](const char* path) {
      if (faults.kept_stay && std::string(path).ends_with(".old")) {
        errno = EPERM;
        return -1;
      }
      return ::unlink(path);
    }};

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
      const std::string failure =
          failure_of([&] { commit_staged(set, threads, durability::unsynced, flaky_calls); });
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

// Six earlier files f0 to f5 and the faults that no retry mends, with and without hard
// links: renames onto f0 that always fail leave every earlier file at its name (a copy,
// not the file, is kept aside where links are refused); an earlier file that cannot be put
// back is named in the failure, with where it is kept; second names that cannot be removed
// after a commit are each named in a warning. Nothing else is left.
TEST(StagedFiles, WhatCannotBePutBackOrRemovedIsNamed) {
  struct fault_case {
    std::string label;
    lasting_faults faults;
    std::string failed;        // the file the failure names, "" for a commit
    std::string not_put_back;  // the earlier file left under its second name
  };
  const std::vector<fault_case> cases = {
      {"every rename onto f0 fails", {.rename_onto = "f0", .put_back_onto = "f0"}, "f0", ""},
      {"rename onto f3 fails and f0 cannot go back",
       {.rename_onto = "f3", .put_back_onto = "f0"},
       "f3",
       "f0"},
      {"second names resist removal", {.kept_stay = true}, "", ""},
  };
  for (const fault_case& c : cases) {
    for (const bool without_links : {false, true}) {
      const std::string label = c.label + (without_links ? " without links" : "");
      const fs::path dir =
          fs::temp_directory_path() / ("vort2pelta-faults-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(without_links) + c.failed + c.not_put_back);
      fs::remove_all(dir);
      fs::create_directories(dir);
      std::vector<staged_file> files;
      for (int n = 0; n < 6; ++n) {
        const fs::path target = dir / ("f" + std::to_string(n));
        std::ofstream(target) << "earlier " << n;
        files.push_back(stage_file(target.string()));
        write_staged_at(files.back(), "new", 3, 0);
        close_staged(files.back());
      }
      std::vector<staged_file*> set;
      for (staged_file& file : files) set.push_back(&file);
      faults = c.faults;
      links_refused = without_links;
      failing_call = -1;
      std::vector<std::string> warnings;
      const std::string failure = failure_of([&] {
        for (const notice& n : commit_staged(set, 1, durability::synced, flaky_calls)) {
          warnings.push_back(notice_text(n, name_charset::ascii));
        }
      });
      faults = {};
      links_refused = false;
      files.clear();
      std::vector<std::string> kept;  // hidden names left, the earlier files under them
      for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.') kept.push_back(name);
      }
      std::sort(kept.begin(), kept.end());
      for (int n = 0; n < 6; ++n) {
        const std::string name = "f" + std::to_string(n);
        const bool replaced = c.failed.empty() || name == c.not_put_back;
        EXPECT_EQ(contents(dir / name), replaced ? "new" : "earlier " + std::to_string(n))
            << label << " " << name;
      }
      const auto quoted = [&](const std::string& name) {
        return in_quotes((dir / name).string(), name_charset::ascii);
      };
      if (c.failed.empty()) {
        EXPECT_EQ(failure, "(no failure)") << label;
        ASSERT_EQ(kept.size(), 6u) << label;
        ASSERT_EQ(warnings.size(), 6u) << label;
        for (int n = 0; n < 6; ++n) {
          const std::string name = "f" + std::to_string(n);
          EXPECT_TRUE(kept[static_cast<std::size_t>(n)].starts_with("." + name + "."));
          EXPECT_EQ(contents(dir / kept[static_cast<std::size_t>(n)]),
                    "earlier " + std::to_string(n))
              << label;
          EXPECT_EQ(warnings[static_cast<std::size_t>(n)],
                    "the earlier " + quoted(name) + " is left behind as " +
                        quoted(kept[static_cast<std::size_t>(n)]) +
                        " (it could not be removed: Operation not permitted)")
              << label;
        }
      } else if (c.not_put_back.empty()) {
        EXPECT_EQ(failure, "cannot create " + quoted(c.failed) + ": Input/output error") << label;
        EXPECT_EQ(kept, std::vector<std::string>{}) << label;
      } else {
        ASSERT_EQ(kept.size(), 1u) << label;
        EXPECT_EQ(contents(dir / kept[0]), "earlier 0") << label;
        EXPECT_EQ(failure, "cannot create " + quoted(c.failed) +
                               ": Input/output error; the earlier " + quoted(c.not_put_back) +
                               " could not be put back (Input/output error): it is kept as " +
                               quoted(kept[0]))
            << label;
      }
      fs::remove_all(dir);
    }
  }
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
      {{a, c, b},
       "cannot create " + in_quotes(b, name_charset::ascii) + ": it is the same file as " +
           in_quotes(a, name_charset::ascii)},
      {{in_sub, a, via_link},
       "cannot create " + in_quotes(via_link, name_charset::ascii) + ": it is the same file as " +
           in_quotes(in_sub, name_charset::ascii)},
      {{c, c},
       "cannot create " + in_quotes(c, name_charset::ascii) + ": it is the same file as " +
           in_quotes(c, name_charset::ascii)},
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
      refusal = failure_text(f, name_charset::ascii);
    }
  }
  EXPECT_EQ(refusal, "cannot create " + in_quotes((dir / "many16").string(), name_charset::ascii) +
                         ": more than 16 files are being written at once");
  many.clear();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vort
