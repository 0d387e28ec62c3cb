// The folders every run works in, all under Windir ("\" form, see platform::NativePath):
// the TEMP folder of the run logs and locks, and the working folder below it.
#pragma once

#include <string>
#include <string_view>

namespace kalvex {

// Windir + "\TEMP": the run logs and the locks of the portals.
std::string TempFolder();
// Windir + "\TEMP\Kalvex": vehicle data documents in, portal files out.
std::string WorkingFolder();
// TEMP folder + "\DadozoVavire" + portal code + extension: the run log (".log") and the
// lock (".lock") of a portal.
std::string PortalRunFile(std::string_view code, std::string_view extension);

// The folder that the setting [section] key=value names below Windir and that a run
// empties with everything in it: gives Windir + value ("\" form). A value with a ".."
// component, or one whose folder (symbolic links followed) is or holds the Windir
// folder, the TEMP folder of the run logs, working_folder, photo_folder (when not
// empty), the executable's folder, the home folder or a file-system root, is refused
// with an Error naming the section, the key and the folder, before anything is deleted.
std::string FolderToEmpty(std::string_view section, std::string_view key, const std::string& value,
                          const std::string& working_folder, const std::string& photo_folder);

}  // namespace kalvex
