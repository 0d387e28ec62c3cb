// What the archive component needs from the operating system beyond the platform layer.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kalvex::zip_platform {

// True when the volume holding `native_path` can be reached.
bool DriveAnswers(const std::string& native_path);

// The number of the disk of a multi-disk set (a removable volume labelled "PKBACK# nnn")
// on which `native_path` lies; nothing when it lies on no such disk.
std::optional<int> MultiDiskSetDisk(const std::string& native_path);

// The system's folder for temporary files, without trailing separator; empty when the
// system names none.
std::string SystemTempFolder();

// Creates a new empty file named prefix + unique characters in `folder` and gives its
// path; empty when it cannot be created.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);

// What a folder listing tells of one entry.
struct FolderEntry {
  std::string name;
  bool regular_file = false;  // a plain file (a link to one counts as one)
  bool folder = false;        // a folder reached without following a link
  bool hidden = false;        // hidden or system (POSIX: the name begins with a dot)
  int64_t size = 0;
  std::time_t mtime = 0;
};

// The entries of a folder, "." and ".." left out, sorted by name; empty when the folder
// cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& native_folder);

// The same facts for one path; nothing when nothing is there.
std::optional<FolderEntry> LookUp(const std::string& native_path);

}  // namespace kalvex::zip_platform
