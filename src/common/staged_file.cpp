#include "common/staged_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include "common/failure.hpp"
#include "common/interrupts.hpp"
#include "common/parallel_parts.hpp"
#include "common/write_at.hpp"

namespace vort {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void refuse(const char* what, const std::string& name, const std::string& reason) {
  throw failure{std::string(what) + in_quotes(name) + ": " + reason};
}

[[noreturn]] void refuse(const char* what, const std::string& name, int error) {
  refuse(what, name, std::string(std::strerror(error)));
}

// The file that a name stands for once its symbolic links are followed (a dangling link
// stands for the file it would create). Loops stop where the system would (ELOOP).
std::string resolved_target(const std::string& name) {
  fs::path path = name;
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path.string();
    const fs::path link = fs::read_symlink(path, error);
    if (error) refuse("cannot create ", name, error.value());
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  refuse("cannot create ", name, ELOOP);
}

// A name beside `target` that no other run can choose: hidden, with the process id and a
// random number, and short enough for any file system. One engine a thread: names may be
// made on several threads at once.
std::string hidden_path(const std::string& target, const char* suffix) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  const fs::path path = target;
  const std::string base = path.filename().string().substr(0, 200);
  const std::string unique =
      std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000000000);
  return (path.parent_path() / ("." + base + "." + unique + suffix)).string();
}

std::string temporary_path(const std::string& target) {
  return hidden_path(target, ".tmp");
}

// In a sticky directory (/tmp, a shared scratch area) only the owner of a file or of the
// directory may replace it, whatever the file's permissions say.
bool sticky_and_not_ours(const std::string& target, const struct stat& file) {
  struct stat directory {};
  const fs::path parent = fs::path(target).parent_path();
  if (::stat(parent.empty() ? "." : parent.c_str(), &directory) != 0) return false;
  const uid_t user = ::geteuid();
  return (directory.st_mode & S_ISVTX) != 0 && user != 0 && file.st_uid != user &&
         directory.st_uid != user;
}

// Where a file of that name lies: its directory (device and inode) and its name there. Two
// names with the same place are one file, whatever links or mounts lead to it.
struct place {
  dev_t device = 0;
  ino_t directory = 0;
  std::string name;
  bool operator==(const place&) const = default;
};

std::optional<place> place_of(const std::string& target) {
  const fs::path path = target;
  const fs::path parent = path.parent_path();
  struct stat directory {};
  if (::stat(parent.empty() ? "." : parent.c_str(), &directory) != 0) return std::nullopt;
  return place{directory.st_dev, directory.st_ino, path.filename().string()};
}

void forget_and_remove(staged_file& file) {
  if (!file.temporary) return;
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
  ::unlink(file.temporary.get());
  forget_temporary(file.temporary.get());
  file.temporary.reset();
}

}  // namespace

staged_file& staged_file::operator=(staged_file&& other) noexcept {
  if (this != &other) {
    forget_and_remove(*this);
    name = std::move(other.name);
    target = std::move(other.target);
    temporary = std::move(other.temporary);
    fd = other.fd;
    other.fd = -1;
  }
  return *this;
}

staged_file::~staged_file() {
  forget_and_remove(*this);
}

void check_distinct_files(std::span<const std::string> names) {
  std::vector<std::optional<place>> places;
  for (const std::string& name : names) {
    const std::optional<place> here = place_of(resolved_target(name));
    for (std::size_t earlier = 0; here && earlier < places.size(); ++earlier) {
      if (places[earlier] == here) {
        refuse("cannot create ", name, "it is the same file as " + in_quotes(names[earlier]));
      }
    }
    places.push_back(here);
  }
}

void check_replaceable(const std::string& name) {
  const std::string target = resolved_target(name);
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) {
    // A new file, unless its name cannot be one (too long, a missing directory is the
    // caller's to tell).
    if (errno == ENAMETOOLONG) refuse("cannot create ", name, errno);
    return;
  }
  if (S_ISDIR(status.st_mode)) refuse("cannot create ", name, EISDIR);
  // A device or a pipe (an output sent to /dev/null, say) would be replaced by a file.
  if (!S_ISREG(status.st_mode)) refuse("cannot create ", name, "it is not a regular file");
  if (::access(target.c_str(), W_OK) != 0) refuse("cannot create ", name, errno);
  if (sticky_and_not_ours(target, status)) refuse("cannot create ", name, EPERM);
}

staged_file stage_file(const std::string& name) {
  staged_file file;
  file.name = name;
  file.target = resolved_target(name);
  // A file that replaces another gets that one's permissions; it is created private and
  // widened to them, so that a private map is readable by nobody else meanwhile.
  struct stat existing {};
  const bool replaces = ::stat(file.target.c_str(), &existing) == 0;
  for (int attempt = 0; !file.temporary; ++attempt) {
    const std::string path = temporary_path(file.target);
    auto storage = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(storage.get(), path.c_str(), path.size() + 1);
    // Registered first: an interrupt between the creation and the registration would
    // otherwise leave the file behind.
    if (!register_temporary(storage.get())) {
      refuse("cannot create ", name,
             "more than " + std::to_string(max_temporaries) + " files are being written at once");
    }
    file.fd =
        ::open(storage.get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaces ? 0600 : 0666);
    if (file.fd >= 0) {
      file.temporary = std::move(storage);
      break;
    }
    const int error = errno;
    forget_temporary(storage.get());
    if (error != EEXIST || attempt == 100) refuse("cannot create ", name, error);
  }
  if (replaces) ::fchmod(file.fd, existing.st_mode & 07777);
  return file;
}

void write_staged_at(staged_file& file, const char* data, std::size_t size, std::uint64_t offset) {
  if (const int error = write_all_at(file.fd, data, size, offset)) {
    refuse("cannot write ", file.name, error);
  }
}

void start_writing_out(const staged_file& file, std::uint64_t offset, std::uint64_t size) {
  ::sync_file_range(file.fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
}

void close_staged(staged_file& file) {
  const int fd = file.fd;
  file.fd = -1;
  if (::close(fd) != 0) refuse("cannot write ", file.name, errno);
}

const commit_calls system_commit_calls{::link, ::rename};

namespace {

// One file of a commit. While the set is renamed, the earlier file (if the target existed)
// is kept under a second name: a hard link beside it, or the file itself moved there where
// the file system refuses a link.
struct commit_step {
  staged_file* file = nullptr;
  bool target_existed = false;
  std::string kept{};         // empty once the earlier file needs no second name
  bool kept_by_link = false;  // else the earlier file was moved to `kept`
  bool renamed = false;       // the new file is in place
  int error = 0;
};

// Gives the earlier file its second name; false (with the cause) when it can have none.
bool keep_earlier(commit_step& step, const commit_calls& calls) {
  struct stat status {};
  step.target_existed = ::lstat(step.file->target.c_str(), &status) == 0;
  if (!step.target_existed) return true;
  if (S_ISDIR(status.st_mode)) {
    step.error = EISDIR;  // what the rename would meet; nothing may move it aside
    return false;
  }
  const std::string kept = hidden_path(step.file->target, ".old");
  if (calls.link(step.file->target.c_str(), kept.c_str()) == 0) {
    step.kept_by_link = true;
  } else if (calls.rename(step.file->target.c_str(), kept.c_str()) != 0) {
    step.error = errno;
    return false;
  }
  step.kept = kept;
  return true;
}

// Renames each file onto its target, up to the first that fails.
void rename_into_place(std::span<commit_step> steps, const commit_calls& calls) {
  for (commit_step& step : steps) {
    if (calls.rename(step.file->temporary.get(), step.file->target.c_str()) != 0) {
      step.error = errno;
      return;
    }
    step.renamed = true;
  }
}

// Puts every earlier file back under its name, and removes a new file that took the place
// of nothing. A target that existed is never removed: where its earlier file cannot be put
// back, the new file stays and the earlier one keeps its second name.
void put_back(std::span<commit_step> steps, const commit_calls& calls) {
  for (commit_step& step : steps) {
    const char* target = step.file->target.c_str();
    if (!step.target_existed) {
      if (step.renamed) ::unlink(target);
    } else if (!step.kept.empty() && (step.renamed || !step.kept_by_link) &&
               calls.rename(step.kept.c_str(), target) == 0) {
      step.kept.clear();
    }
  }
}

// The second names go: after a commit they free the earlier files; after a failure a link is
// only a second name of a file in place again. An earlier file that could not be put back
// keeps its (only) name.
void drop_second_names(std::span<commit_step> steps, bool committed) {
  for (commit_step& step : steps) {
    if (step.kept.empty()) continue;
    if (committed || (step.kept_by_link && !step.renamed)) ::unlink(step.kept.c_str());
  }
}

}  // namespace

void commit_staged(std::span<staged_file* const> files, int threads, const commit_calls& calls) {
  const interrupts_held held;
  std::vector<commit_step> steps;
  steps.reserve(files.size());
  for (staged_file* file : files) steps.push_back(commit_step{.file = file});
  const std::span<commit_step> all(steps);
  const auto kept_failed = std::find_if_not(
      steps.begin(), steps.end(), [&](commit_step& step) { return keep_earlier(step, calls); });
  if (kept_failed == steps.end()) {
    // A rename onto a file of tens of megabytes costs milliseconds (the file system starts
    // writing the new file out), so threads share them, each a run of files in order.
    const std::size_t parts = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(threads, 1)), 1, std::max<std::size_t>(steps.size(), 1));
    run_parts(static_cast<int>(parts), [&](int part) {
      const std::size_t p = static_cast<std::size_t>(part);
      const std::size_t first = steps.size() * p / parts, end = steps.size() * (p + 1) / parts;
      rename_into_place(all.subspan(first, end - first), calls);
    });
  }
  const auto failed = std::find_if(steps.begin(), steps.end(),
                                   [](const commit_step& step) { return step.error != 0; });
  const bool committed = failed == steps.end();
  if (!committed) put_back(all, calls);
  drop_second_names(all, committed);
  if (!committed) refuse("cannot create ", failed->file->name, failed->error);
  for (staged_file* file : files) {
    forget_temporary(file->temporary.get());
    file->temporary.reset();
  }
  note_files_in_place();
}

}  // namespace vort
