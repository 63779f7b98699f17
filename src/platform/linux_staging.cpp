// Linux's faster ways to write a staged file out and to copy an earlier one aside.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/staging.hpp"

namespace vort {

void start_writing_out(file_descriptor fd, std::uint64_t offset, std::uint64_t size) {
  ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
}

// Shared blocks where the file system can (a reflink), else copied by the kernel, else read
// and written here.
int copy_contents(file_descriptor from, file_descriptor to) {
  if (::ioctl(to, FICLONE, from) == 0) return 0;
  for (;;) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0);
    if (copied == 0) return 0;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    return errno;
  }
  return copy_contents_by_blocks(from, to);
}

}  // namespace vort
