#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix_io.h"
#include "platform/stop_registry.h"
#include "platform/temporary_files.h"

namespace kalvex::platform {

namespace {

// Removes the files derived from `path` by `extra` more characters of name.
void RemoveDerived(const std::string& path, size_t extra) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = ::readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate.size() == name.size() + extra && candidate.compare(0, name.size(), name) == 0)
      ::unlink((folder + candidate).c_str());
  }
  ::closedir(dir);
}

void RemoveListed(const stop_registry::Entry& entry) {
  ::unlink(entry.path.c_str());
  if (entry.extra_characters > 0) RemoveDerived(entry.path, entry.extra_characters);
}

[[noreturn]] void EndOnSignal(int signal_number) {
  stop_registry::RunStopAction(signal_number, &RemoveListed);
  ::_exit(128 + signal_number);
}

sigset_t CleanupSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& native_target, const std::string& display_path)
    : target_(native_target), display_(display_path) {
  std::string name = native_target + TemporaryFileMarker() + "XXXXXX";
  const std::unique_lock<std::mutex> listed = stop_registry::Lock();
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) ThrowIoError(errno, display_);
  path_ = name;
  id_ = stop_registry::AddLocked(path_, 0);
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(path_.c_str());
  stop_registry::Drop(id_);
}

void TemporaryFile::Write(std::string_view bytes) {
  const int error = WriteAll(fd_, bytes.data(), bytes.size());
  if (error != 0) ThrowIoError(error, display_);
}

namespace {

// Copies the bytes of `in` from offset 0 to its end into `out`, inside the kernel:
// copy_file_range, then sendfile where the two file systems refuse it. Gives 0 or the
// error number.
int CopyDescriptor(int in, int out) {
  bool range = true;
  off_t offset = 0;
  for (;;) {
    constexpr size_t kChunk = size_t{1} << 30;
    ssize_t n = range ? ::copy_file_range(in, &offset, out, nullptr, kChunk, 0)
                      : ::sendfile(out, in, &offset, kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && range &&
        (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      range = false;
      continue;
    }
    if (n < 0) return errno;
    if (n == 0) return 0;
  }
}

}  // namespace

void TemporaryFile::CopyFrom(const std::string& native_source, const std::string& display_source) {
  const ClosedOnExit in(OpenRegularFileForReading(native_source));
  if (in.get() < 0) ThrowIoError(errno, display_source);
  CopyFrom(in.get());
}

void TemporaryFile::CopyFrom(int source_fd) {
  // Until the end of the source, whatever size it had when opened.
  const int error = CopyDescriptor(source_fd, fd_);
  if (error != 0) ThrowIoError(error, display_);
}

void TemporaryFile::CopyFrom(const TemporaryFile& other) {
  const int error = CopyDescriptor(other.fd_, fd_);
  if (error != 0) ThrowIoError(error, display_);
}

namespace {

// The mode open() gives a new file: 0666 less the umask. The umask is read from
// /proc/self/status, which leaves it as it is (umask() would change it for a moment,
// under the other threads' feet); once per process.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    std::string status, reason;
    if (ReadRegularFile("/proc/self/status", status, reason)) {
      const size_t at = status.find("\nUmask:");
      if (at != std::string::npos)
        return static_cast<mode_t>(0666 & ~std::strtoul(status.c_str() + at + 8, nullptr, 8));
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// True when the descriptor is open on the file at `path` (not a file put there since).
bool OpenOn(int fd, const std::string& path) {
  struct stat open_file, at_path;
  return ::fstat(fd, &open_file) == 0 && ::lstat(path.c_str(), &at_path) == 0 &&
         open_file.st_dev == at_path.st_dev && open_file.st_ino == at_path.st_ino;
}

}  // namespace

void TemporaryFile::Commit(Flush flush) {
  int error = 0;
  // A library may have put a file of its own in place of ours (libzip writes the archive
  // into a new file renamed over this one): the file now at our path is the one flushed,
  // given its mode and put in place, so every output gets the same mode.
  const bool ours = OpenOn(fd_, path_);
  const ClosedOnExit reopened(ours ? -1 : ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  const int fd = ours ? fd_ : reopened.get();
  if (fd < 0) error = errno;
  if (error == 0 && flush == Flush::kToDisk && ::fsync(fd) != 0) error = errno;
  if (error == 0 && ::fchmod(fd, NewFileMode()) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(path_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) ThrowIoError(error, display_);  // the destructor removes the file
  committed_ = true;
}

void InstallSignalCleanup() {
  sigset_t set = CleanupSignals();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  std::thread([set] {
    for (;;) {
      int signal_number = 0;
      if (::sigwait(&set, &signal_number) == 0) EndOnSignal(signal_number);
    }
  }).detach();
}

int RemoveStaleTemporaryFiles(const std::string& native_folder) {
  const std::string marker = TemporaryFileMarker();
  DIR* dir = ::opendir(native_folder.empty() ? "." : native_folder.c_str());
  if (dir == nullptr) return 0;
  const std::string prefix = native_folder.empty() ? "" : native_folder + "/";
  int removed = 0;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.find(marker) == std::string::npos) continue;
    struct stat st;
    const std::string path = prefix + name;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ::unlink(path.c_str()) == 0)
      ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace kalvex::platform
