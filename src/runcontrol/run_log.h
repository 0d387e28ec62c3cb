// The run log: one text file per portal, Windir + "\TEMP\DadozoVavire" + portal + ".log",
// echoed line by line in the window's memo with "-> " in front.
//
// The file is written in the locale's encoding of the running system (UTF-8 on POSIX),
// with CR LF line ends. Every call opens and closes the file.
#pragma once

#include <string>
#include <string_view>

#include "runcontrol/clock.h"
#include "runcontrol/run_state.h"
#include "runcontrol/window_model.h"

namespace kalvex {

class RunLog {
 public:
  RunLog(const RunState& state, WindowModel& window, const Clock& clock)
      : state_(state), window_(window), clock_(clock) {}

  // Empty text: start a new, empty log (create or truncate). Otherwise append one
  // line "ddddd tt - text", the text's control characters escaped (EscapeControls), so
  // that one call gives one line whatever the text holds (a whole document keeps its
  // line breaks as "\n"). A log file that does not exist is created. Failures throw
  // IoError with the system's text and the file name.
  void WriteLog(const std::string& text);
  // WriteLog(prefix + text), without a copy of the text: long texts (a whole
  // document) are written as they are and kept once, in the memo.
  void WriteLog(std::string_view prefix, std::string_view text);

  // Worked out again at every call from Windir and the selected portal.
  std::string LogPath() const;

 private:
  const RunState& state_;
  WindowModel& window_;
  const Clock& clock_;
};

}  // namespace kalvex
