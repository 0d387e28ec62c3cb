#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/zip_platform.h"

namespace kalvex::zip_platform {

bool DriveAnswers(const std::string& native_path) {
  // One tree of mounted volumes: ask the volume of the nearest existing folder.
  std::string probe = native_path;
  while (true) {
    size_t slash = probe.find_last_of('/');
    if (slash == std::string::npos) {
      probe.assign(1, '.');
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

std::optional<FolderEntry> LookUp(const std::string& native_path) {
  struct stat link;
  if (::lstat(native_path.c_str(), &link) != 0) return std::nullopt;
  FolderEntry entry;
  size_t slash = native_path.find_last_of('/');
  entry.name = slash == std::string::npos ? native_path : native_path.substr(slash + 1);
  entry.hidden = !entry.name.empty() && entry.name[0] == '.';
  struct stat target;
  if (::stat(native_path.c_str(), &target) != 0) return entry;  // a dangling link
  entry.regular_file = S_ISREG(target.st_mode);
  entry.folder = S_ISDIR(target.st_mode) && !S_ISLNK(link.st_mode);
  entry.size = static_cast<int64_t>(target.st_size);
  entry.mtime = target.st_mtime;
  return entry;
}

std::vector<FolderEntry> ListFolder(const std::string& native_folder) {
  std::vector<FolderEntry> entries;
  DIR* dir = ::opendir(native_folder.empty() ? "." : native_folder.c_str());
  if (!dir) return entries;
  std::string prefix =
      native_folder.empty() || native_folder.back() == '/' ? native_folder : native_folder + "/";
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (std::optional<FolderEntry> entry = LookUp(prefix + name)) {
      entry->name = name;
      entries.push_back(std::move(*entry));
    }
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace kalvex::zip_platform
