#include "runcontrol/run_log.h"

#include <cerrno>

#include "platform/error.h"
#include "platform/platform.h"

namespace kalvex {

std::string RunLog::LogPath() const {
  return platform::Windir() + "\\TEMP\\DadozoVavire" + state_.selected_portal + ".log";
}

void RunLog::WriteLog(const std::string& text) {
  const std::string path = LogPath();
  // The TEMP folder always exists on Windows; a fresh set-up elsewhere may lack it, so
  // a write that finds no folder creates it and tries once more.
  auto write = [&](auto&& operation) {
    try {
      operation();
    } catch (const IoError& e) {
      const std::string folder = platform::Windir() + "\\TEMP";
      if (e.code() != ENOENT || platform::DirectoryExists(folder) ||
          !platform::ForceDirectories(folder))
        throw;
      operation();
    }
  };

  if (text.empty()) {
    write([&] { platform::CreateEmptyFile(path); });
    window_.AddMemoLine("-> ");
    return;
  }
  const std::string line = platform::FormatDateTime(clock_.Now()) + " - " + text;
  write([&] { platform::AppendToFile(path, line + "\r\n"); });
  window_.AddMemoLine("-> " + line);
}

}  // namespace kalvex
