#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_status.hpp"

namespace vort {
namespace {

file_status status_from(const struct stat& status) {
  file_status out;
  out.kind = S_ISREG(status.st_mode)   ? file_kind::regular
             : S_ISDIR(status.st_mode) ? file_kind::directory
                                       : file_kind::other;
  out.size = static_cast<std::uint64_t>(status.st_size);
  out.permissions = static_cast<std::uint32_t>(status.st_mode & 07777);
  out.owner = static_cast<std::uint32_t>(status.st_uid);
  out.sticky = (status.st_mode & S_ISVTX) != 0;
  out.identity = {static_cast<std::uint64_t>(status.st_dev),
                  static_cast<std::uint64_t>(status.st_ino)};
  return out;
}

}  // namespace

int status_of(const char* path, file_status& status) {
  struct stat found {};
  if (::stat(path, &found) != 0) return -1;
  status = status_from(found);
  return 0;
}

int link_status_of(const char* path, file_status& status) {
  struct stat found {};
  if (::lstat(path, &found) != 0) return -1;
  status = status_from(found);
  return 0;
}

int status_of_open(file_descriptor fd, file_status& status) {
  struct stat found {};
  if (::fstat(fd, &found) != 0) return -1;
  status = status_from(found);
  return 0;
}

bool names_open_file(const char* path, file_descriptor fd) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::stat(path, &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

int may_write_file(const char* path) {
  return ::access(path, W_OK);
}

int may_add_files(const char* directory) {
  // A new file needs both: an entry written, and the directory searched.
  return ::access(directory, W_OK | X_OK);
}

std::uint32_t effective_user() {
  return static_cast<std::uint32_t>(::geteuid());
}

bool user_is_administrator() {
  return ::geteuid() == 0;
}

int process_number() {
  return static_cast<int>(::getpid());
}

file_descriptor open_for_reading(const char* path) {
  return ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

void make_blocking(file_descriptor fd) {
  ::fcntl(fd, F_SETFL, 0);
}

}  // namespace vort
