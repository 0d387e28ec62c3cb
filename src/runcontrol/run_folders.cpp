#include "runcontrol/run_folders.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

std::string TempFolder() { return platform::Windir() + "\\TEMP"; }

std::string WorkingFolder() { return TempFolder() + "\\Kalvex"; }

std::string PortalRunFile(std::string_view code, std::string_view extension) {
  std::string path = TempFolder() + "\\DadozoVavire";
  path.append(code).append(extension);
  return path;
}

std::string FolderToEmpty(std::string_view section, std::string_view key, const std::string& value,
                          const std::string& working_folder, const std::string& photo_folder) {
  namespace text = runcontrol_text;
  const std::string windir = platform::Windir();
  const std::string folder = windir + value;
  auto refused = [&](const std::string& reason) {
    return Error(text::FolderRefused(section, key, value, reason));
  };
  for (size_t start = 0; start <= value.size();) {
    const size_t end = std::min(value.find_first_of("\\/", start), value.size());
    if (value.compare(start, end - start, "..") == 0)
      throw refused(text::PathGoesUp(platform::NativePath(folder)));
    start = end + 1;
  }
  const std::string resolved = platform::ResolvedPath(folder);
  if (platform::IsFileSystemRoot(resolved)) throw refused(text::FolderIsRoot(resolved));
  const std::pair<const char*, std::string> kept[] = {
      {text::kWindirFolder, windir},
      {text::kLogFolder, windir.empty() ? std::string() : TempFolder()},
      {text::kWorkingFolder, working_folder},
      {text::kPhotoFolder, photo_folder},
      {text::kProgramFolder, platform::ExecutableDir()},
      {text::kHomeFolder, platform::HomeFolder()},
  };
  for (const auto& [name, path] : kept) {
    if (path.empty()) continue;
    const std::string kept_path = platform::ResolvedPath(path);
    if (resolved == kept_path) throw refused(text::FolderIs(resolved, name));
    if (platform::FolderHolds(resolved, kept_path))
      throw refused(text::FolderHolds(resolved, name, kept_path));
  }
  return folder;
}

}  // namespace kalvex
