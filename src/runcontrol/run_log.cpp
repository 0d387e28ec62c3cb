#include "runcontrol/run_log.h"

#include <cerrno>

#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/run_folders.h"

namespace kalvex {

std::string RunLog::LogPath() const { return PortalRunFile(state_.selected_portal, ".log"); }

void RunLog::WriteLog(const std::string& text) { WriteLog(std::string_view(), text); }

void RunLog::WriteLog(std::string_view prefix, std::string_view text) {
  const std::string path = LogPath();
  // The TEMP folder always exists on Windows; a fresh set-up elsewhere may lack it, so
  // a write that finds no folder creates it and tries once more.
  auto write = [&](auto&& operation) {
    try {
      operation();
    } catch (const IoError& e) {
      const std::string folder = TempFolder();
      if (e.code() != ENOENT || platform::DirectoryExists(folder) ||
          !platform::ForceDirectories(folder))
        throw;
      operation();
    }
  };

  if (prefix.empty() && text.empty()) {
    write([&] { platform::CreateEmptyFile(path); });
    window_.AddMemoLine("-> ");
    return;
  }
  // One text serves both: the memo line "-> " + line, and the file's line + CR LF.
  const std::string stamp = platform::FormatDateTime(clock_.Now()) + " - ";
  std::string memo_line;
  memo_line.reserve(3 + stamp.size() + prefix.size() + text.size() + 2);
  memo_line.append("-> ").append(stamp);
  // One line whatever the data in it holds (see EscapeControls).
  AppendEscapingControls(memo_line, prefix);
  AppendEscapingControls(memo_line, text);
  memo_line.append("\r\n");
  write([&] { platform::AppendToFile(path, std::string_view(memo_line).substr(3)); });
  memo_line.resize(memo_line.size() - 2);
  window_.AddMemoLine(std::move(memo_line));
}

}  // namespace kalvex
