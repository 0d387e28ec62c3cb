#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"
#include "zip/zip_platform.h"

namespace kalvex::zip_platform {

bool DriveAnswers(const std::string& native_path) {
  // One tree of mounted volumes: ask the volume of the nearest existing folder.
  std::string probe = native_path;
  while (true) {
    size_t slash = probe.find_last_of('/');
    if (slash == std::string::npos) {
      probe = ".";
    } else {
      probe = slash == 0 ? std::string("/") : probe.substr(0, slash);
    }
    struct statvfs info;
    if (::statvfs(probe.c_str(), &info) == 0) return true;
    if (probe == "/" || probe == ".") return false;
  }
}

std::optional<int> MultiDiskSetDisk(const std::string& /*native_path*/) {
  // POSIX file systems have no volume labels of removable disk sets: no archive lies on
  // a disk of such a set.
  return std::nullopt;
}

std::string SystemTempFolder() {
  std::string folder = platform::GetEnv("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string native = platform::NativePath(folder);
  if (!native.empty() && native.back() != '/') native += '/';
  std::string name = native + prefix + "XXXXXX";
  int fd = ::mkstemp(name.data());
  if (fd < 0) return std::string();
  ::close(fd);
  return name;
}

bool IsHiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

}  // namespace kalvex::zip_platform
