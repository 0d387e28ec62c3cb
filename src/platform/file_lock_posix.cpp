#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.h"
#include "platform/platform.h"

namespace kalvex::platform {

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::string& path) {
  const std::string native = NativePath(path);
  int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) ThrowIoError(errno, path);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    ThrowIoError(error, path);
  }
  return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() { ::close(fd_); }

}  // namespace kalvex::platform
