// For the system files of the platform layer: the folders a relative path names below a
// base, as RenewFolderBelow goes down them.
#pragma once

#include <string>
#include <vector>

namespace kalvex::platform {

// The parts of written (a path in the system's own form) in order: "\" and "/" both
// separate, empty and "." parts are skipped. A ".." ends with an Error naming base +
// written, a path that names no folder with an Error naming base.
std::vector<std::string> FolderComponentsBelow(const std::string& base, const std::string& written);

}  // namespace kalvex::platform
