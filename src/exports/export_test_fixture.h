// A run context over a temporary Windir for the exporter tests: the run-level state,
// a window model whose front end counts event processing, the run log, a fixed clock,
// and the run driver that opens Kalvex.ini in the temporary folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runcontrol/run_driver.h"
#include "test_support.h"

namespace kalvex::testing {

class CountingFrontEnd : public NullFrontEnd {
 public:
  void ProcessPendingEvents() override { ++events_processed; }
  int events_processed = 0;
};

class ExportFixture {
 public:
  ExportFixture()
      : windir_("Windir", dir_.path().c_str()),
        log_(state_, window_, clock_),
        context_{state_, window_, log_, clock_, nullptr},
        driver_(context_) {
    window_.SetFrontEnd(&front_end_);
    driver_.SetIniFolder(dir_.path() + "/");
  }

  // Kalvex.ini beside the "executable", then opened as the driver opens it.
  void UseIni(const std::string& text) {
    WriteFile(dir_ / "Kalvex.ini", text);
    state_.ini_path = dir_.path() + "/Kalvex.ini";
    state_.config = std::make_shared<IniFile>(state_.ini_path);
  }
  std::string WorkingFolder() const { return dir_.path() + "/TEMP/Kalvex"; }
  std::string LogFile(const std::string& portal) const {
    return dir_.path() + "/TEMP/DadozoVavire" + portal + ".log";
  }

  // The texts of the log file's lines, without their "date time - " heads.
  static std::vector<std::string> LogTexts(const std::string& log) {
    return testing::LogLineTexts(log);
  }
  // The same for the memo lines ("-> date time - text"; "-> " alone for a restart).
  std::vector<std::string> MemoTexts() const {
    std::vector<std::string> texts;
    for (const std::string& line : window_.MemoLines()) {
      const size_t dash = line.find(" - ");
      texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    }
    return texts;
  }

  TempDir dir_;
  ScopedEnv windir_;
  RunState state_;
  CountingFrontEnd front_end_;
  WindowModel window_;
  FakeClock clock_;
  RunLog log_;
  RunContext context_;
  RunDriver driver_;
};

}  // namespace kalvex::testing
