// Small POSIX helpers shared by the platform layer's own files.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace kalvex::platform {

// Writes all `size` bytes of `data` to `fd`, again after an interrupted call. Gives 0,
// or the error number of the write that failed.
inline int WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// Closes a descriptor when it goes (nothing for -1).
class ClosedOnExit {
 public:
  explicit ClosedOnExit(int fd) : fd_(fd) {}
  ~ClosedOnExit() {
    if (fd_ >= 0) ::close(fd_);
  }
  ClosedOnExit(const ClosedOnExit&) = delete;
  ClosedOnExit& operator=(const ClosedOnExit&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace kalvex::platform
