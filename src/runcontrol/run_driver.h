// The run driver: takes the portal option, opens Kalvex.ini beside the executable, reads
// [Options], recognises the portal code, sets the window texts, restarts the run log and
// hands control to the portal's exporter. It catches no error: whatever a step or an
// exporter raises reaches the caller, which reports it.
//
// Before anything is written: an unset or empty Windir ends the run (Error); a
// recognised portal takes its lock, Windir + "\TEMP\DadozoVavire" + code + ".lock",
// held until the process ends, and a second run of the same portal ends at once with
// an Error, the log and the portal files untouched (other portals run side by side).
// The lock held, the temporary files a killed run of that portal left in the working
// folder are removed (one memo line says how many). A configuration file that is not
// text is reported by one memo line and read as empty. For a recognised portal, an
// [Options] MinVehicules or DureeMaxMinutes that is not a whole number ends the run
// (Error) before the log is restarted; with both read, the run's deadline starts (see
// run_deadline.h), and it stops when the run ends, however it ends.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "runcontrol/run_context.h"

namespace kalvex {

using Exporter = std::function<void(RunContext&)>;

// Told when each run (each RunExport) starts and ends, whatever its end: the error that
// ends it is handed over before it goes on to the caller.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void RunStarted(const std::string& option) = 0;
  virtual void RunEnded(std::exception_ptr error) = 0;
};

// The six portal codes, in dispatch order.
const std::vector<std::string>& PortalCodes();

class RunDriver {
 public:
  explicit RunDriver(RunContext& context) : ctx_(context) {}

  // Joins an exporter to the dispatch table under its portal code.
  void SetExporter(const std::string& code, Exporter exporter);

  // Folder in which Kalvex.ini is looked for ("\" form, with trailing separator);
  // the executable's folder unless set.
  void SetIniFolder(const std::string& folder) { ini_folder_ = folder; }

  // The window's creation: with exactly one argument (after the program name) runs
  // the export, otherwise shows the syntax line.
  void FormCreate(const std::vector<std::string>& args);
  // "Démarrer": runs the export named by the combo text when it is not empty.
  void Button1Click();
  // Resets the run report, runs the export and tells the observer (when set) how it ended.
  void RunExport(const std::string& option);

  void SetObserver(RunObserver* observer) { observer_ = observer; }

  // The length of one minute of [Options] DureeMaxMinutes: a minute, shorter only in
  // tests, so that a deadline can run out in seconds.
  void SetDeadlineMinute(std::chrono::milliseconds minute) { deadline_minute_ = minute; }

 private:
  void Run(const std::string& option);
  void LockPortal(const std::string& code);

  RunContext& ctx_;
  std::map<std::string, Exporter> exporters_;
  std::string ini_folder_;
  std::map<std::string, std::unique_ptr<platform::FileLock>> locks_;
  RunObserver* observer_ = nullptr;
  std::chrono::milliseconds deadline_minute_ = std::chrono::minutes(1);
};

}  // namespace kalvex
