// What an export run works with: the run-level state, the window model, the run log and
// the clock. Built once by the application and handed to the driver and the exporters;
// none of it knows the front end. The exporters' services (photos, the portal upload)
// come to them beside it.
#pragma once

#include "runcontrol/clock.h"
#include "runcontrol/run_log.h"
#include "runcontrol/run_state.h"
#include "runcontrol/window_model.h"

namespace kalvex {

struct RunContext {
  RunState& state;
  WindowModel& window;
  RunLog& log;
  const Clock& clock;

  void WriteLog(const std::string& text) { log.WriteLog(text); }
  void WriteLog(std::string_view prefix, std::string_view text) { log.WriteLog(prefix, text); }
  const IniFile& Config() const { return state.Config(); }
};

}  // namespace kalvex
