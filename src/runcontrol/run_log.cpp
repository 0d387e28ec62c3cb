#include "runcontrol/run_log.h"

#include "platform/platform.h"

namespace kalvex {

std::string RunLog::LogPath() const {
  return platform::Windir() + "\\TEMP\\DadozoVavire" + state_.selected_portal + ".log";
}

void RunLog::WriteLog(const std::string& text) {
  const std::string path = LogPath();
  // The TEMP folder always exists on Windows; create it when a fresh set-up lacks it.
  const std::string folder = platform::Windir() + "\\TEMP";
  if (!platform::DirectoryExists(folder)) platform::ForceDirectories(folder);

  if (text.empty()) {
    platform::CreateEmptyFile(path);
    window_.AddMemoLine("-> ");
    return;
  }
  const std::string line = platform::FormatDateTime(clock_.Now()) + " - " + text;
  platform::AppendToFile(path, line + "\r\n");
  window_.AddMemoLine("-> " + line);
}

}  // namespace kalvex
