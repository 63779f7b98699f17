#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/positional_io.hpp"
#include "platform/staging.hpp"

namespace vort {

file_descriptor create_new_file(const char* path, std::uint32_t permissions) {
  return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(permissions));
}

file_descriptor open_existing(const char* path) {
  return ::open(path, O_RDONLY | O_CLOEXEC);
}

file_descriptor open_directory(const char* path) {
  return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void set_permissions(file_descriptor fd, std::uint32_t permissions) {
  ::fchmod(fd, static_cast<mode_t>(permissions));
}

void copy_times(file_descriptor from, file_descriptor to) {
  struct stat status {};
  if (::fstat(from, &status) != 0) return;
#if defined(__APPLE__)
  const timespec times[2] = {status.st_atimespec, status.st_mtimespec};
#else
  const timespec times[2] = {status.st_atim, status.st_mtim};
#endif
  ::futimens(to, times);
}

int link_file(const char* from, const char* to) {
  return ::link(from, to);
}

int rename_file(const char* from, const char* to) {
  return ::rename(from, to);
}

int remove_file(const char* path) {
  return ::unlink(path);
}

int copy_contents_by_blocks(file_descriptor from, file_descriptor to) {
  std::vector<char> block(std::size_t{1} << 20);
  for (std::uint64_t offset = 0;;) {
    const ssize_t got = ::pread(from, block.data(), block.size(), static_cast<off_t>(offset));
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (const int error = write_all_at(to, block.data(), static_cast<std::size_t>(got), offset)) {
      return error;
    }
    offset += static_cast<std::uint64_t>(got);
  }
}

int flush_file(file_descriptor fd) {
#if defined(__APPLE__)
  return ::fsync(fd);
#else
  return ::fdatasync(fd);
#endif
}

int flush_directory(file_descriptor fd) {
  return ::fsync(fd) != 0 && errno != EINVAL ? -1 : 0;
}

}  // namespace vort
