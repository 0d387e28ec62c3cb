// What an export run works with: the run-level state, the window model, the run log,
// the clock, the two FTP sessions and the photo service. Built once by the application
// and handed to the driver and the exporters; none of it knows the front end.
#pragma once

#include "runcontrol/clock.h"
#include "runcontrol/run_log.h"
#include "runcontrol/run_state.h"
#include "runcontrol/window_model.h"

namespace kalvex {

class FtpTransfer;   // src/ftp: image-server and portal-drop sessions
class PhotoService;  // src/ftp: photo synchronisation and staging

struct RunContext {
  RunState& state;
  WindowModel& window;
  RunLog& log;
  const Clock& clock;
  FtpTransfer* ftp = nullptr;
  PhotoService* photos = nullptr;

  void WriteLog(const std::string& text) { log.WriteLog(text); }
  void WriteLog(std::string_view prefix, std::string_view text) { log.WriteLog(prefix, text); }
  const IniFile& Config() const { return state.Config(); }
};

}  // namespace kalvex
