// The composition root: owns the run-level state, the window model, the log, the FTP
// link (the two sessions wired to the window and the run) with the photo service, and
// the driver with its dispatch table. Both front ends build one.
#pragma once

#include <memory>

#include "runcontrol/clock.h"
#include "runcontrol/run_context.h"
#include "runcontrol/run_driver.h"

namespace kalvex {

class FtpLink;
class PhotoService;

class Application {
 public:
  Application();
  ~Application();

  WindowModel& Window() { return window_; }
  RunState& State() { return state_; }
  RunDriver& Driver() { return driver_; }
  RunContext& Context() { return context_; }

 private:
  SystemClock clock_;
  RunState state_;
  WindowModel window_;
  RunLog log_;
  RunContext context_;
  RunDriver driver_;
  std::unique_ptr<FtpLink> ftp_;  // IdFTP1 and IdFTP2, open until the process ends
  std::unique_ptr<PhotoService> photos_;
};

}  // namespace kalvex
