#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/folder_components.h"
#include "platform/platform_texts.h"
#include "platform/posix_io.h"
#include "platform/temporary_files.h"

namespace kalvex::platform {

namespace {

bool IsDir(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}

// Folders written in one letter case and found on disk in another, as NativePath found
// them last. An entry is only a hint: it is used while it still names a folder.
class FolderCaseCache {
 public:
  std::string Find(const std::string& written) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = found_.find(written);
    return it == found_.end() ? std::string() : it->second;
  }
  void Remember(const std::string& written, const std::string& found) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (found_.size() >= kMaxEntries) found_.clear();
    found_[written] = found;
  }

 private:
  static constexpr size_t kMaxEntries = 256;
  std::mutex mutex_;
  std::unordered_map<std::string, std::string> found_;
};

FolderCaseCache& FolderCases() {
  static FolderCaseCache cache;
  return cache;
}

// Finds the first entry of an open folder stream whose name equals `name` ignoring ASCII
// case ("." and ".." never match a folder name the tool asks for).
bool FindCaseBlindIn(DIR* d, const std::string& name, std::string* found) {
  while (const dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      *found = e->d_name;
      return true;
    }
  }
  return false;
}

// Finds an entry of folder `dir` whose name equals `name` ignoring ASCII case.
bool FindCaseBlind(const std::string& dir, const std::string& name, std::string* found) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  const bool ok = FindCaseBlindIn(d, name, found);
  ::closedir(d);
  return ok;
}

}  // namespace

std::string GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Windir() { return GetEnv("Windir"); }

namespace {

// The path as written, in native form: "\" made "/", and doubled separators, which the
// tool's "folder + \ + name" joins produce when a configured folder already ends with
// one, collapsed. NativePath gives the same whenever the folder exists as written.
std::string WrittenPath(std::string_view path) {
  std::string clean;
  clean.reserve(path.size());
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !clean.empty() && clean.back() == '/') continue;
    clean.push_back(c);
  }
  return clean;
}

// stat of a tool path: as written first, and only when nothing is there, through
// NativePath's search in other letter cases. The answer is NativePath's; a path that
// exists as written costs one call instead of two.
bool StatFound(const std::string& path, struct stat* st) {
  const std::string written = WrittenPath(path);
  if (::stat(written.c_str(), st) == 0) return true;
  if (errno != ENOENT && errno != ENOTDIR) return false;
  const std::string native = NativePath(path);
  return native != written && ::stat(native.c_str(), st) == 0;
}

// open() of a tool path the same way: as written, then as NativePath finds it. On
// failure errno is that of the last attempt.
int OpenFound(const std::string& path, int flags, mode_t mode) {
  const std::string written = WrittenPath(path);
  int fd = ::open(written.c_str(), flags, mode);
  if (fd >= 0 || errno != ENOENT) return fd;
  const std::string native = NativePath(path);
  if (native == written) {
    errno = ENOENT;
    return -1;
  }
  return ::open(native.c_str(), flags, mode);
}

}  // namespace

std::string NativePath(std::string_view path) {
  const std::string clean = WrittenPath(path);
  // Resolve folder components under another letter case, leaving the last one as is.
  // Most paths name a folder that exists as written: one lstat settles them.
  const size_t last_slash = clean.rfind('/');
  if (last_slash == std::string::npos || last_slash == 0) return clean;
  const std::string folder = clean.substr(0, last_slash);
  if (IsDir(folder)) return clean;
  // A folder already found under another case is taken again while it still is a
  // folder: a photo loop names the same folders for every file.
  std::string known = FolderCases().Find(folder);
  if (!known.empty() && IsDir(known)) return known + clean.substr(last_slash);
  std::string out;
  size_t pos = 0;
  if (!clean.empty() && clean[0] == '/') {
    out.assign(1, '/');
    pos = 1;
  }
  while (pos < clean.size()) {
    size_t slash = clean.find('/', pos);
    if (slash == std::string::npos) {
      out += clean.substr(pos);
      break;
    }
    std::string comp = clean.substr(pos, slash - pos);
    std::string candidate = out + comp;
    if (!comp.empty() && comp != "." && comp != ".." && !Exists(candidate)) {
      std::string found;
      if (FindCaseBlind(out.empty() ? "." : out, comp, &found)) candidate = out + found;
    }
    out = candidate + "/";
    pos = slash + 1;
  }
  const std::string found_folder = out.substr(0, out.rfind('/'));
  if (folder[0] == '/' && IsDir(found_folder)) FolderCases().Remember(folder, found_folder);
  return out;
}

std::string HomeFolder() {
  std::string home = GetEnv("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return std::string();
}

std::string ResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // The last component too is found in any letter case, as the tool's names ignore it.
  const std::string native = NativePath(path + "/");
  fs::path absolute = fs::absolute(fs::path(native), ec);
  if (ec) absolute = fs::path(native);
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  if (ec) resolved = absolute.lexically_normal();
  std::string text = resolved.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool FolderHolds(const std::string& folder, const std::string& path) {
  if (folder.empty() || path.empty()) return false;
  if (path == folder || folder == "/") return true;
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

bool IsFileSystemRoot(const std::string& resolved) { return resolved == "/"; }

std::string ExecutablePath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableDir() {
  std::string exe = ExecutablePath();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return std::string();
  return exe.substr(0, slash + 1);
}

std::tm LocalTimeNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

std::string FormatDateTime(const std::tm& local) {
  char buf[256];
  size_t n = std::strftime(buf, sizeof(buf), "%x %X", &local);
  return std::string(buf, n);
}

std::string SystemErrorText(int code) {
  char buf[256];
  if (const char* french = platform_text::SystemErrorReason(code)) return french;
  // GNU strerror_r returns the text, which may not live in buf.
  const char* text = ::strerror_r(code, buf, sizeof(buf));
  return text ? std::string(text) : platform_text::UnknownSystemError(code);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return StatFound(path, &st) && !S_ISDIR(st.st_mode);
}

bool RegularFileExists(const std::string& path) {
  struct stat st;
  return StatFound(path, &st) && S_ISREG(st.st_mode);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return StatFound(path, &st) && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t FileWriteTime(const std::string& path) {
  struct stat st;
  if (!StatFound(path, &st)) return -1;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool SameFile(const std::string& native_a, const std::string& native_b) {
  struct stat a, b;
  return ::stat(native_a.c_str(), &a) == 0 && ::stat(native_b.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

int OpenRegularFileForReading(const std::string& native_path) {
  // Non-blocking, so that opening a FIFO never waits for a writer; a regular file
  // does not care.
  int fd = ::open(native_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (!S_ISREG(st.st_mode))
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (error != 0) {
    ::close(fd);
    errno = error;
    return -1;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

RegularFileReader::RegularFileReader(const std::string& native_path)
    : fd_(OpenRegularFileForReading(native_path)) {
  if (fd_ < 0) error_ = errno;
}

RegularFileReader::~RegularFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

std::string RegularFileReader::Reason() const {
  return error_ == EINVAL ? std::string(platform_text::kNotARegularFile) : SystemErrorText(error_);
}

int64_t RegularFileReader::Size() const {
  struct stat st;
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

long RegularFileReader::Read(char* buffer, size_t length) {
  if (fd_ < 0) return -1;
  for (;;) {
    ssize_t n = ::read(fd_, buffer, length);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) {
      error_ = errno;
      return -1;
    }
  }
}

std::optional<FileId> FileIdentity(const std::string& path) {
  struct stat st;
  if (::lstat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
  return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

PathKind KindAt(const std::string& native_path) {
  struct stat st;
  if (::lstat(native_path.c_str(), &st) != 0) return PathKind::kNothing;
  if (S_ISREG(st.st_mode)) return PathKind::kRegularFile;
  if (S_ISLNK(st.st_mode)) return PathKind::kLink;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  if (S_ISFIFO(st.st_mode)) return PathKind::kFifo;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return PathKind::kDevice;
  if (S_ISSOCK(st.st_mode)) return PathKind::kSocket;
  return PathKind::kOther;
}

bool DirectoryExists(const std::string& path) { return IsDir(NativePath(path)); }

bool ForceDirectories(const std::string& path) {
  std::string native = NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native.empty()) return false;
  if (IsDir(native)) return true;
  size_t pos = 0;
  while (true) {
    pos = native.find('/', pos + 1);
    std::string part = native.substr(0, pos);
    if (!part.empty() && !IsDir(part)) {
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (pos == std::string::npos) break;
  }
  return IsDir(native);
}

namespace {

// The names in an open folder, "." and ".." left out; the descriptor stays the caller's.
using DirStream = std::unique_ptr<DIR, int (*)(DIR*)>;

// A stream over the entries of an open folder, from its first entry; the descriptor stays
// the caller's. Null when it cannot be read.
DirStream ReadFolder(int dir_fd) {
  DirStream dir(nullptr, &::closedir);
  const int own = ::fcntl(dir_fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) return dir;
  dir.reset(::fdopendir(own));
  if (!dir) {
    ::close(own);
    return dir;
  }
  ::rewinddir(dir.get());
  return dir;
}

std::vector<std::string> EntryNames(int dir_fd) {
  std::vector<std::string> names;
  const DirStream dir = ReadFolder(dir_fd);
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

// Removes everything inside an open folder, never following a link: a sub-folder is
// opened from its parent with O_NOFOLLOW and emptied the same way, a link is unlinked.
void EmptyFolderAt(int dir_fd) {
  struct stat st;
  // A folder that is not writable cannot lose its entries.
  if (::fstat(dir_fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
    ::fchmod(dir_fd, (st.st_mode & 07777) | S_IRWXU);
  for (const std::string& name : EntryNames(dir_fd)) {
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      const ClosedOnExit sub(
          ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (sub.get() >= 0) EmptyFolderAt(sub.get());
      ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir_fd, name.c_str(), 0);
    }
  }
}

// Opens the folder `name` of the open folder `parent_fd` without following a link; -1
// with errno when it is missing. A link there throws LinkInPath, anything else that is
// not a folder IoError (ENOTDIR); shown is the native path of the component.
int OpenFolderNoFollow(int parent_fd, const std::string& name, const std::string& shown) {
  const int fd = ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || errno == ENOENT) return fd;
  const int error = errno;
  struct stat st;
  if (::fstatat(parent_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) {
      char target[4096];
      const ssize_t n = ::readlinkat(parent_fd, name.c_str(), target, sizeof target);
      throw LinkInPath(shown, n > 0 ? std::string(target, static_cast<size_t>(n)) : "?");
    }
    if (!S_ISDIR(st.st_mode)) ThrowIoError(ENOTDIR, shown);
  }
  ThrowIoError(error, shown);
}

// The name of the entry of `parent_fd` that `name` designates: itself when it exists,
// else one that equals it ignoring ASCII case, else `name` (missing).
std::string EntryNameAt(int parent_fd, const std::string& name) {
  struct stat st;
  if (::fstatat(parent_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
    return name;
  std::string found;
  const DirStream dir = ReadFolder(parent_fd);
  return dir && FindCaseBlindIn(dir.get(), name, &found) ? found : name;
}

}  // namespace

std::string RenewFolderBelow(const std::string& base, std::string_view relative) {
  const std::vector<std::string> components = FolderComponentsBelow(base, WrittenPath(relative));

  std::string shown = WrittenPath(base);
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  auto folder =
      std::make_unique<ClosedOnExit>(::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder->get() < 0) ThrowIoError(errno, shown);
  // Every folder on the way is opened from the one before: the path checked is the
  // path used, whatever is renamed or linked meanwhile.
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    const std::string name = EntryNameAt(folder->get(), components[i]);
    shown += "/" + name;
    int next = OpenFolderNoFollow(folder->get(), name, shown);
    if (next < 0) {
      if (::mkdirat(folder->get(), name.c_str(), 0777) != 0 && errno != EEXIST)
        ThrowIoError(errno, shown);
      next = OpenFolderNoFollow(folder->get(), name, shown);
      if (next < 0) ThrowIoError(errno, shown);
    }
    folder = std::make_unique<ClosedOnExit>(next);
  }
  const int parent = folder->get();
  const std::string name = EntryNameAt(parent, components.back());
  const std::string target = shown + "/" + name;
  {
    const ClosedOnExit old(OpenFolderNoFollow(parent, name, target));
    if (old.get() >= 0) {
      EmptyFolderAt(old.get());
      ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
    }
  }
  // Made again as written; a folder that would not go is still a folder, not a link.
  const std::string made = shown + "/" + components.back();
  if (::mkdirat(parent, components.back().c_str(), 0777) != 0 && errno != EEXIST)
    ThrowIoError(errno, made);
  const ClosedOnExit check(OpenFolderNoFollow(parent, components.back(), made));
  if (check.get() < 0) ThrowIoError(errno, made);
  return made;
}

bool RemoveFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool RemoveDirectory(const std::string& path) { return ::rmdir(NativePath(path).c_str()) == 0; }

bool CopyFileOverwrite(const std::string& from, const std::string& to, Flush flush) {
  // The source is opened first: a source that cannot be read makes no temporary file.
  const ClosedOnExit in(OpenRegularFileForReading(NativePath(from)));
  if (in.get() < 0) return false;
  try {
    TemporaryFile copy(NativePath(to), to);
    copy.CopyFrom(in.get());
    copy.Commit(flush);
    return true;
  } catch (const IoError&) {
    return false;
  }
}

void CreateEmptyFile(const std::string& path) {
  int fd =
      ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) ThrowIoError(errno, path);
  if (::close(fd) != 0) ThrowIoError(errno, path);
}

void AppendToFile(const std::string& path, std::string_view bytes) {
  // The run log gets a line per call: one open of the path as written settles it.
  int fd = OpenFound(path, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) ThrowIoError(errno, path);
  const int error = WriteAll(fd, bytes.data(), bytes.size());
  if (error != 0) {
    ::close(fd);
    ThrowIoError(error, path);
  }
  if (::close(fd) != 0) ThrowIoError(errno, path);
}

void CheckWindir() {
  const std::string windir = Windir();
  if (windir.empty()) throw Error(platform_text::kWindirMissing);
  // Every "\" of the tool's paths becomes "/": one of Windir's would split a name in two.
  if (windir.find('\\') != std::string::npos) throw Error(platform_text::WindirBackslash(windir));
}

int32_t FindFileSize(const std::string& file_name) {
  const std::string pattern = NativePath(file_name);
  glob_t g{};
  int rc = ::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &g);
  int32_t result = -1;
  if (rc == 0 && g.gl_pathc > 0) {
    struct stat st;
    if (::stat(g.gl_pathv[0], &st) == 0 &&
        st.st_size <= static_cast<off_t>(std::numeric_limits<int32_t>::max()))
      result = static_cast<int32_t>(st.st_size);
  }
  ::globfree(&g);
  return result;
}

}  // namespace kalvex::platform
