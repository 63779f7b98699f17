#include "common/staged_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "common/failure.hpp"
#include "common/file_handle.hpp"
#include "common/interrupts.hpp"
#include "common/parallel_parts.hpp"
#include "platform/file_status.hpp"
#include "platform/path_parts.hpp"
#include "platform/positional_io.hpp"
#include "platform/staging.hpp"

namespace vort {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void refuse(fault code, const std::string& name, int error = 0,
                         std::vector<fact> facts = {}) {
  throw failure{code, name, error, std::move(facts)};
}

// Names are UTF-8 inside the program; a path keeps them in the system's own form (UTF-16 on
// Windows), which its narrow string would translate through the ANSI code page.
fs::path path_of(const std::string& name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

std::string name_of(const fs::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

// The file that a name stands for once its symbolic links are followed (a dangling link
// stands for the file it would create). Loops stop where the system would (ELOOP).
std::string resolved_target(const std::string& name) {
  fs::path path = path_of(name);
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      return links == 0 ? name : name_of(path);
    }
    const fs::path link = fs::read_symlink(path, error);
    if (error) refuse(fault::cannot_create, name, error.value());
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  refuse(fault::cannot_create, name, ELOOP);
}

// A name beside `target` that no other run can choose: hidden, with the process id and a
// random number, and short enough for any file system. One engine a thread: names may be
// made on several threads at once.
std::string hidden_path(const std::string& target, const char* suffix) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  const std::size_t name_at = name_start(target);
  const std::string base = target.substr(name_at, 200);
  // Twelve digits always: a name checked up front is as long as the names made later.
  char number[16];
  std::snprintf(number, sizeof number, "%012llu",
                static_cast<unsigned long long>(random() % 1000000000000));
  const std::string unique = std::to_string(process_number()) + "-" + number;
  return target.substr(0, name_at) + "." + base + "." + unique + suffix;
}

// Creates and at once removes a file of a hidden name as long as the temporary's beside the
// target: a symbolic link may lead into a directory that is missing or takes no file, and a
// long name may leave no room for the hidden one, which the system tells only when asked.
// Interrupts wait meanwhile, so that no such file can be left behind.
void check_hidden_name(const std::string& name, const std::string& target) {
  const std::string trial = hidden_path(target, ".try");
  int error = 0;
  {
    const interrupts_held held;
    const file_descriptor fd = create_new_file(trial.c_str(), 0600);
    if (fd >= 0) {
      close_descriptor(fd);
      remove_file(trial.c_str());
    } else {
      error = errno;
    }
  }
  if (error == 0 || error == EEXIST) return;
  if (error == ENAMETOOLONG) {
    refuse(fault::create_hidden_name_too_long, name);
  }
  file_status directory;
  if ((error == ENOENT || error == ENOTDIR) &&
      status_of(directory_part(target).c_str(), directory) != 0) {
    refuse(fault::create_missing_directory, name, 0, {directory_part(target)});
  }
  refuse(fault::cannot_create, name, error);
}

std::string temporary_path(const std::string& target) {
  return hidden_path(target, ".tmp");
}

// In a sticky directory (/tmp, a shared scratch area) only the owner of a file or of the
// directory may replace it, whatever the file's permissions say.
bool sticky_and_not_ours(const std::string& target, const file_status& file) {
  file_status directory;
  if (status_of(directory_part(target).c_str(), directory) != 0) return false;
  const std::uint32_t user = effective_user();
  return directory.sticky && !user_is_administrator() && file.owner != user &&
         directory.owner != user;
}

// Where a file of that name lies: its directory (device and inode) and its name there. Two
// names with the same place are one file, whatever links or mounts lead to it.
struct place {
  file_identity directory;
  std::string name;
  bool operator==(const place&) const = default;
};

std::optional<place> place_of(const std::string& target) {
  file_status directory;
  if (status_of(directory_part(target).c_str(), directory) != 0) return std::nullopt;
  return place{directory.identity, target.substr(name_start(target))};
}

void forget_and_remove(staged_file& file) {
  if (!file.temporary) return;
  if (file.fd >= 0) close_descriptor(file.fd);
  file.fd = no_descriptor;
  remove_file(file.temporary.get());
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
    other.fd = no_descriptor;
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
        refuse(fault::create_same_file, name, 0, {names[earlier]});
      }
    }
    places.push_back(here);
  }
}

void check_replaceable(const std::string& name) {
  const std::string target = resolved_target(name);
  file_status status;
  if (status_of(target.c_str(), status) != 0) {
    // A new file, unless its name cannot be one (too long, a missing directory is the
    // caller's to tell).
    if (errno == ENAMETOOLONG) refuse(fault::cannot_create, name, errno);
    check_hidden_name(name, target);
    return;
  }
  if (status.kind == file_kind::directory) refuse(fault::cannot_create, name, EISDIR);
  // A device or a pipe (an output sent to /dev/null, say) would be replaced by a file.
  if (status.kind != file_kind::regular) refuse(fault::create_not_regular_file, name);
  if (may_write_file(target.c_str()) != 0) refuse(fault::cannot_create, name, errno);
  if (sticky_and_not_ours(target, status)) refuse(fault::cannot_create, name, EPERM);
  check_hidden_name(name, target);
}

bool names_open_file(const std::string& name, file_descriptor fd) {
  return names_open_file(name.c_str(), fd);
}

staged_file stage_file(const std::string& name) {
  staged_file file;
  file.name = name;
  file.target = resolved_target(name);
  // A file that replaces another gets that one's permissions; it is created private and
  // widened to them, so that a private map is readable by nobody else meanwhile.
  file_status existing;
  const bool replaces = status_of(file.target.c_str(), existing) == 0;
  for (int attempt = 0; !file.temporary; ++attempt) {
    const std::string path = temporary_path(file.target);
    auto storage = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(storage.get(), path.c_str(), path.size() + 1);
    // Registered first: an interrupt between the creation and the registration would
    // otherwise leave the file behind.
    if (!register_temporary(storage.get())) {
      refuse(fault::create_too_many_files, name, 0, {std::int64_t{max_temporaries}});
    }
    file.fd = create_new_file(storage.get(), replaces ? 0600 : 0666);
    if (file.fd >= 0) {
      file.temporary = std::move(storage);
      break;
    }
    const int error = errno;
    forget_temporary(storage.get());
    if (error != EEXIST || attempt == 100) refuse(fault::cannot_create, name, error);
  }
  if (replaces) set_permissions(file.fd, existing.permissions);
  return file;
}

void write_staged_at(staged_file& file, const char* data, std::size_t size, std::uint64_t offset) {
  if (const int error = write_all_at(file.fd, data, size, offset)) {
    refuse(fault::cannot_write, file.name, error);
  }
}

void start_writing_out(const staged_file& file, std::uint64_t offset, std::uint64_t size) {
  start_writing_out(file.fd, offset, size);
}

void close_staged(staged_file& file) {
  const file_descriptor fd = file.fd;
  file.fd = no_descriptor;
  if (close_descriptor(fd) != 0) refuse(fault::cannot_write, file.name, errno);
}

const commit_calls system_commit_calls{link_file, rename_file, remove_file};

namespace {

// A copy of the earlier file at `kept`, with its permissions and times, for a file system
// that refuses a hard link: the earlier file stays at its name, so a rename that fails leaves
// it in place, and the copy can be renamed back over a new file. 0 or the cause.
int copy_aside(const char* target, const std::string& kept) {
  const unique_fd source(open_existing(target));
  file_status status;
  if (source.fd < 0 || status_of_open(source.fd, status) != 0) return errno;
  unique_fd copy(create_new_file(kept.c_str(), 0600));
  if (copy.fd < 0) return errno;
  int error = copy_contents(source.fd, copy.fd);
  // Best effort, as for a temporary: a file system without permissions (where hard links are
  // missing too, often) refuses them.
  set_permissions(copy.fd, status.permissions);
  copy_times(source.fd, copy.fd);
  if (close_descriptor(std::exchange(copy.fd, no_descriptor)) != 0 && error == 0) error = errno;
  if (error != 0) remove_file(kept.c_str());
  return error;
}

// One file of a commit. While the set is renamed, the earlier file (if the target existed)
// is kept under a second name beside it: a hard link, or a copy where the file system
// refuses a link.
struct commit_step {
  staged_file* file = nullptr;
  bool target_existed = false;
  std::string kept{};    // empty once the earlier file needs no second name
  bool renamed = false;  // the new file is in place
  bool removed = true;   // a new file that took the place of nothing is gone again
  int error = 0;
  int left_error = 0;  // why `kept` (or a new file) could not be removed
};

// Gives the earlier file its second name; false (with the cause) when it can have none.
bool keep_earlier(commit_step& step, const commit_calls& calls) {
  file_status status;
  step.target_existed = link_status_of(step.file->target.c_str(), status) == 0;
  if (!step.target_existed) return true;
  if (status.kind == file_kind::directory) {
    step.error = EISDIR;  // what the rename would meet
    return false;
  }
  const std::string kept = hidden_path(step.file->target, ".old");
  if (calls.link(step.file->target.c_str(), kept.c_str()) != 0) {
    if (const int error = copy_aside(step.file->target.c_str(), kept)) {
      step.error = error;
      return false;
    }
  }
  step.kept = kept;
  return true;
}

// Runs `run` on up to `threads` threads, each over a run of the steps in order.
template <typename Run>
void in_runs(std::span<commit_step> steps, int threads, Run&& run) {
  const std::size_t parts = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)),
                                                    1, std::max<std::size_t>(steps.size(), 1));
  run_parts(static_cast<int>(parts), [&](int part) {
    const std::size_t p = static_cast<std::size_t>(part);
    const std::size_t first = steps.size() * p / parts, end = steps.size() * (p + 1) / parts;
    run(steps.subspan(first, end - first));
  });
}

// The first step that failed, or the end.
std::span<commit_step>::iterator first_failed(std::span<commit_step> steps) {
  return std::find_if(steps.begin(), steps.end(),
                      [](const commit_step& step) { return step.error != 0; });
}

// Writes each temporary out to the disk, on up to `threads` threads; each step that cannot be
// gets the cause.
void write_out(std::span<commit_step> steps, int threads) {
  in_runs(steps, threads, [](std::span<commit_step> run) {
    for (commit_step& step : run) {
      const unique_fd file(open_existing(step.file->temporary.get()));
      if (file.fd < 0 || flush_file(file.fd) != 0) step.error = errno;
    }
  });
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

// Puts every earlier file whose target a new file took back under its name, and removes a new
// file that took the place of nothing. A target that existed is never removed: where its
// earlier file cannot be put back, the new file stays and the earlier one keeps its second
// name.
void put_back(std::span<commit_step> steps, const commit_calls& calls) {
  for (commit_step& step : steps) {
    if (!step.renamed) continue;
    const char* target = step.file->target.c_str();
    if (!step.target_existed) {
      step.removed = calls.unlink(target) == 0;
      if (!step.removed) step.left_error = errno;
    } else if (calls.rename(step.kept.c_str(), target) == 0) {
      step.kept.clear();
    } else {
      step.left_error = errno;
    }
  }
}

// The second names go: after a commit they free the earlier files; after a failure they are
// second names of files in place again. An earlier file that could not be put back keeps its
// (only) name.
void drop_second_names(std::span<commit_step> steps, bool committed, const commit_calls& calls) {
  for (commit_step& step : steps) {
    if (step.kept.empty() || (!committed && step.renamed)) continue;
    if (calls.unlink(step.kept.c_str()) == 0) {
      step.kept.clear();
    } else {
      step.left_error = errno;
    }
  }
}

// What a commit leaves that the user must know of: earlier files that could not be put back,
// second names and new files that could not be removed.
std::vector<notice> left_behind(std::span<const commit_step> steps, bool committed) {
  std::vector<notice> notices;
  for (const commit_step& step : steps) {
    const std::string& name = step.file->name;
    if (!step.removed) {
      notices.push_back({fault::new_file_not_removed, name, step.left_error, {}});
    } else if (step.kept.empty()) {
      continue;
    } else if (!committed && step.renamed) {
      notices.push_back({fault::earlier_file_not_put_back, name, step.left_error, {step.kept}});
    } else {
      notices.push_back({fault::earlier_file_left_behind, name, step.left_error, {step.kept}});
    }
  }
  return notices;
}

// Writes each distinct directory of the targets out to the disk, so that the renames outlast
// a power cut. A notice for each that cannot be; a file system that cannot write a directory
// out on its own (EINVAL) needs nothing.
std::vector<notice> write_out_directories(std::span<staged_file* const> files) {
  std::vector<notice> warnings;
  std::vector<file_identity> done;
  for (const staged_file* file : files) {
    const std::string directory = directory_part(file->target);
    const unique_fd fd(open_directory(directory.c_str()));
    file_status status;
    int error = fd.fd < 0 || status_of_open(fd.fd, status) != 0 ? errno : 0;
    if (error == 0) {
      if (std::find(done.begin(), done.end(), status.identity) != done.end()) continue;
      done.push_back(status.identity);
      if (flush_directory(fd.fd) != 0) error = errno;
    }
    if (error != 0) warnings.push_back({fault::directory_not_written_out, directory, error, {}});
  }
  return warnings;
}

}  // namespace

std::vector<notice> commit_staged(std::span<staged_file* const> files, int threads,
                                  durability flush, const commit_calls& calls) {
  std::vector<commit_step> steps;
  steps.reserve(files.size());
  for (staged_file* file : files) steps.push_back(commit_step{.file = file});
  const std::span<commit_step> all(steps);
  if (flush == durability::synced) {
    write_out(all, threads);
    if (const auto failed = first_failed(all); failed != all.end()) {
      refuse(fault::cannot_write, failed->file->name, failed->error);
    }
  }
  std::vector<notice> warnings;
  {
    const interrupts_held held;
    const auto kept_failed = std::find_if_not(
        steps.begin(), steps.end(), [&](commit_step& step) { return keep_earlier(step, calls); });
    if (kept_failed == steps.end()) {
      // A rename onto a file of tens of megabytes costs milliseconds (the file system starts
      // writing the new file out), so threads share them, each a run of files in order.
      in_runs(all, threads, [&](std::span<commit_step> run) { rename_into_place(run, calls); });
    }
    const auto failed = first_failed(all);
    const bool committed = failed == all.end();
    if (!committed) put_back(all, calls);
    drop_second_names(all, committed, calls);
    warnings = left_behind(all, committed);
    if (!committed) {
      failure refusal{fault::cannot_create, failed->file->name, failed->error};
      refusal.notices = std::move(warnings);
      throw refusal;
    }
    for (staged_file* file : files) {
      forget_temporary(file->temporary.get());
      file->temporary.reset();
    }
    note_files_in_place();
  }
  if (flush == durability::synced) {
    for (notice& warning : write_out_directories(files)) warnings.push_back(std::move(warning));
  }
  return warnings;
}

}  // namespace vort
