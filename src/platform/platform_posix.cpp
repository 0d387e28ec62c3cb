#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/error.h"

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

// Finds an entry of folder `dir` whose name equals `name` ignoring ASCII case.
bool FindCaseBlind(const std::string& dir, const std::string& name, std::string* found) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool ok = false;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      *found = e->d_name;
      ok = true;
      break;
    }
  }
  ::closedir(d);
  return ok;
}

}  // namespace

std::string GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Windir() { return GetEnv("Windir"); }

std::string NativePath(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  // Collapse doubled separators, which the tool's "folder + \ + name" joins produce
  // when a configured folder already ends with one.
  std::string clean;
  clean.reserve(p.size());
  for (char c : p) {
    if (c == '/' && !clean.empty() && clean.back() == '/') continue;
    clean.push_back(c);
  }
  // Resolve folder components under another letter case, leaving the last one as is.
  // Most paths name a folder that exists as written: one lstat settles them.
  const size_t last_slash = clean.rfind('/');
  if (last_slash == std::string::npos || last_slash == 0 || IsDir(clean.substr(0, last_slash)))
    return clean;
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
  return out;
}

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
  // GNU strerror_r returns the text, which may not live in buf.
  const char* text = ::strerror_r(code, buf, sizeof(buf));
  return text ? std::string(text) : std::string("error ") + std::to_string(code);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
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

bool RemoveFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool RemoveDirectory(const std::string& path) { return ::rmdir(NativePath(path).c_str()) == 0; }

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
  std::ifstream in(NativePath(from), std::ios::binary);
  if (!in) return false;
  std::string target = NativePath(to);
  std::string tmp = target + ".part";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (in.peek() != std::ifstream::traits_type::eof()) out << in.rdbuf();
    out.flush();
    if (!out) {
      ::unlink(tmp.c_str());
      return false;
    }
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

IoErrorInfo DescribeIoError(int code, const std::string& path) {
  return {code, "Erreur d'entrée/sortie " + std::to_string(code) + " (" + SystemErrorText(code) +
                    ") : " + path};
}

namespace {
[[noreturn]] void ThrowIo(int code, const std::string& path) {
  IoErrorInfo info = DescribeIoError(code, path);
  throw IoError(info.code, info.message);
}
}  // namespace

void CreateEmptyFile(const std::string& path) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ThrowIo(errno, path);
  if (::close(fd) != 0) ThrowIo(errno, path);
}

void AppendToFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) ThrowIo(errno, path);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ThrowIo(err, path);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) ThrowIo(errno, path);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string target = NativePath(path);
  std::string tmp = target + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    ThrowIo(errno, path);
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      ThrowIo(err, path);
    }
    done += static_cast<size_t>(n);
  }
  int err = 0;
  if (::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::fchmodat(AT_FDCWD, tmp.c_str(), 0644, 0) != 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    ThrowIo(err, path);
  }
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
