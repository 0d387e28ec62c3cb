// What the archive component needs from the operating system beyond the platform layer.
#pragma once

#include <optional>
#include <string>

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

// Files that a plain selection leaves out: hidden ones (on POSIX, names beginning with a
// dot) and system ones.
bool IsHiddenName(const std::string& name);

}  // namespace kalvex::zip_platform
