// What the FTP tests share: a run context with its own Windir (for the run log), the
// FTP sessions wired to it as the application wires them (FtpLink) with short
// time-outs, and helpers to point the window's server fields at a test server.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "exports/ftp_link.h"
#include "ftp/ftp_transfer.h"
#include "ftp_server_fixture.h"
#include "runcontrol/run_context.h"
#include "test_support.h"

namespace kalvex::testing {

// Short limits so that failing cases stay quick.
inline FtpTimeouts ShortTimeouts() {
  FtpTimeouts timeouts;
  timeouts.connect = std::chrono::milliseconds(2000);
  timeouts.server_response = std::chrono::milliseconds(2000);
  timeouts.low_speed_time = std::chrono::seconds(2);
  return timeouts;
}

class FtpHarness {
 public:
  FtpHarness()
      : windir_env_("Windir", windir_.path().c_str()),
        log(state, window, clock),
        context{state, window, log, clock},
        link(context),
        ftp(link.transfer()) {
    ftp.SetTimeouts(ShortTimeouts());
    state.selected_portal = "PARUVENDU";
    ftp.SetPortalCode(state.selected_portal);
    log.WriteLog("");
  }

  void PointImageServerAt(const std::string& host, const FtpServerOptions& options,
                          const std::string& folder) {
    window.SetText(WindowField::kParamServeurPixtrove, host);
    window.SetText(WindowField::kParamUserPixtrove, options.user);
    window.SetText(WindowField::kParamPasswordPixtrove, options.password);
    window.SetText(WindowField::kParamRepertPixtrove, folder);
  }
  void PointPortalDropAt(const std::string& host, const FtpServerOptions& options,
                         const std::string& folder) {
    window.SetText(WindowField::kParamServeur, host);
    window.SetText(WindowField::kParamUser, options.user);
    window.SetText(WindowField::kParamPassword, options.password);
    window.SetText(WindowField::kParamRepert, folder);
  }

  std::string LogText() const {
    return ReadFile(windir_.path() + "/TEMP/DadozoVavirePARUVENDU.log");
  }
  std::string MemoText() const {
    std::string text;
    for (const std::string& line : window.MemoLines()) text += line + "\n";
    return text;
  }
  // Memo lines holding text.
  int MemoLinesWith(const std::string& text) const {
    int count = 0;
    for (const std::string& line : window.MemoLines())
      if (line.find(text) != std::string::npos) ++count;
    return count;
  }
  // Folder for local files, "\" form as the tool composes paths.
  const std::string& Windir() const { return windir_.path(); }

 private:
  TempDir windir_;
  ScopedEnv windir_env_;

 public:
  FakeClock clock;
  RunState state;
  WindowModel window;
  RunLog log;
  RunContext context;
  FtpLink link;
  FtpTransfer& ftp;
};

}  // namespace kalvex::testing
