// An exclusive lock on a file, held by this process until the object goes or the
// process ends (flock on POSIX): two runs of the same portal never work at once.
#pragma once

#include <memory>
#include <string>

namespace kalvex::platform {

class FileLock {
 public:
  // Opens the lock file (created when missing, never through a link; "\" form path)
  // and takes the lock without waiting. nullptr when another process holds it. Throws
  // IoError when the file cannot be opened.
  static std::unique_ptr<FileLock> TryAcquire(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace kalvex::platform
