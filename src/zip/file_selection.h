// Which files a list of file specifications names, and under which entry names they go
// into the archive. A specification is a file path or a folder path followed by a name
// pattern with "*" and "?" (letter case ignored; "*.*" matches every name, with or
// without a dot). A specification naming a folder stands for every file in it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kalvex {

struct SelectionOptions {
  std::string root_dir;           // base of relative specifications ("\" form); may be empty
  bool recurse = false;           // also match in every sub-folder; keep folder names
  bool relative_to_root = false;  // keep folder names, relative to root_dir
  bool folder_entries = false;    // also list the folders above kept names
  bool hidden = false;            // include hidden files and folders
};

struct SelectedFile {
  std::string path;        // native path of the source file
  std::string entry_name;  // name in the archive, "/" separated
  int64_t size = 0;
  std::time_t mtime = 0;
};

struct Selection {
  std::vector<SelectedFile> files;   // in the order of FilesToAdd, names sorted per folder
  std::vector<std::string> folders;  // folder entry names, each ending with "/", sorted
  int32_t duplicates = 0;            // files left out because an earlier one has their name
};

// Names matched by a pattern of the kind described above.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// Expands the specifications. Without `hidden`, names beginning with a dot are left out
// of pattern matches and of recursion; anything but regular files (devices, sockets,
// pipes) is always left out. A specification that names a file directly takes it as
// it is; an empty specification names nothing. Entry names are the bare file names
// unless `recurse` or `relative_to_root` keep folder names: relative to root_dir for
// files below it, otherwise the path as the FilesToAdd entry wrote it, without leading
// separators.
Selection SelectFiles(const std::vector<std::string>& specs, const SelectionOptions& options);

}  // namespace kalvex
