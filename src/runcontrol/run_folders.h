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

}  // namespace kalvex
