#include "common/staged_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>

#include "common/failure.hpp"
#include "common/interrupts.hpp"

namespace vort {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void refuse(const char* what, const std::string& name, int error) {
  throw failure{std::string(what) + in_quotes(name) + ": " + std::strerror(error)};
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
// random number, and short enough for any file system.
std::string temporary_path(const std::string& target) {
  static std::mt19937_64 random{std::random_device{}()};
  const fs::path path = target;
  const std::string base = path.filename().string().substr(0, 200);
  const std::string unique =
      std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000000000);
  return (path.parent_path() / ("." + base + "." + unique + ".tmp")).string();
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

void check_replaceable(const std::string& name) {
  const std::string target = resolved_target(name);
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) return;  // a new file
  if (S_ISDIR(status.st_mode)) refuse("cannot create ", name, EISDIR);
  if (::access(target.c_str(), W_OK) != 0) refuse("cannot create ", name, errno);
}

staged_file stage_file(const std::string& name) {
  staged_file file;
  file.name = name;
  file.target = resolved_target(name);
  for (int attempt = 0; !file.temporary; ++attempt) {
    const std::string path = temporary_path(file.target);
    auto storage = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(storage.get(), path.c_str(), path.size() + 1);
    // Registered first: an interrupt between the creation and the registration would
    // otherwise leave the file behind.
    register_temporary(storage.get());
    file.fd = ::open(storage.get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd >= 0) {
      file.temporary = std::move(storage);
      break;
    }
    const int error = errno;
    forget_temporary(storage.get());
    if (error != EEXIST || attempt == 100) refuse("cannot create ", name, error);
  }
  struct stat existing {};
  if (::stat(file.target.c_str(), &existing) == 0) ::fchmod(file.fd, existing.st_mode & 07777);
  return file;
}

void write_staged(staged_file& file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(file.fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      refuse("cannot write ", file.name, errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void close_staged(staged_file& file) {
  const int fd = file.fd;
  file.fd = -1;
  if (::close(fd) != 0) refuse("cannot write ", file.name, errno);
}

namespace {

// Renames each file onto its target; returns the first failure's errno and the file, or 0.
int rename_into_place(std::span<staged_file* const> files, staged_file*& failed) {
  for (staged_file* file : files) {
    if (::rename(file->temporary.get(), file->target.c_str()) != 0) {
      failed = file;
      return errno;
    }
  }
  return 0;
}

}  // namespace

void commit_staged(std::span<staged_file* const> files) {
  const interrupts_held held;
  // A rename onto a file of tens of megabytes costs milliseconds (the file system starts
  // writing the new file out, and frees the old one), so two threads share them.
  const std::size_t half = files.size() / 2;
  staged_file* failed_first = nullptr;
  staged_file* failed_second = nullptr;
  int second_error = 0;
  std::thread helper;
  try {
    helper = thread_without_interrupts(
        [&] { second_error = rename_into_place(files.subspan(half), failed_second); });
  } catch (const std::system_error&) {
    second_error = rename_into_place(files.subspan(half), failed_second);
  }
  const int first_error = rename_into_place(files.first(half), failed_first);
  if (helper.joinable()) helper.join();
  if (first_error != 0) refuse("cannot create ", failed_first->name, first_error);
  if (second_error != 0) refuse("cannot create ", failed_second->name, second_error);
  for (staged_file* file : files) {
    forget_temporary(file->temporary.get());
    file->temporary.reset();
  }
  note_files_in_place();
}

void discard_staged(staged_file& file) {
  forget_and_remove(file);
}

}  // namespace vort
