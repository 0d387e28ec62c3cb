// How a run ends for the one who started it: its exit code (the same in both front
// ends) and, with --report FILE, the run report written when each run ends.
//
// Exit codes: 0 the run ended normally and its portal file (if the portal gets one)
// reached the portal; 1 an error ended the run; 2 syntax error or unknown portal; 3 the
// run ended normally but its portal upload failed; 4 the stock is below [Options]
// MinVehicules (nothing written or sent); 5 the run ended normally but its report could
// not be written; 6 the run ended normally and its portal file (if any) reached the
// portal, but at least one photo did not reach the image server (3 wins over 6); 7 the
// run lasted longer than [Options] DureeMaxMinutes and was ended as a stop signal ends it
// (files in the making removed, the error names the step the run was in). A report that
// cannot be written is said on standard error, naming the file; it changes the exit code
// only of a run that ended normally (0 becomes 5), so the code of a failed run always
// tells why the run failed.
//
// A stop signal (SIGINT, SIGTERM, SIGHUP) during a run writes a short report (portal,
// start and end, exit code 128 + n, the signal) from the signal thread, without the
// counters, files, upload and servers, which the run's own thread may be changing.
#pragma once

#include <cstdio>
#include <exception>
#include <mutex>
#include <string>

#include "app/application.h"

namespace kalvex {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitSyntax = 2;
inline constexpr int kExitUploadFailed = 3;
inline constexpr int kExitStockBelowMinimum = 4;
inline constexpr int kExitReportNotWritten = 5;
inline constexpr int kExitPhotosNotSent = 6;
inline constexpr int kExitDeadline = 7;

class RunReporter : public RunObserver {
 public:
  // Watches the application's runs. report_path (native) empty: no report is written,
  // exit codes and messages are still worked out. Messages go to err.
  RunReporter(Application& app, std::string report_path, std::FILE* err);
  ~RunReporter() override;
  RunReporter(const RunReporter&) = delete;
  RunReporter& operator=(const RunReporter&) = delete;

  void RunStarted(const std::string& option) override;
  void RunEnded(std::exception_ptr error) override;
  // A start that ran no export because the arguments were wrong (exit code 2).
  void SyntaxError(const std::string& message);

  bool Ran() const { return ran_; }
  // Exit code of the last run, and its message: the error's text, the unknown portal,
  // why the upload failed, or how many photos did not reach the image server; empty for
  // a run that ended normally.
  int ExitCode() const { return exit_code_; }
  const std::string& Message() const { return message_; }

 private:
  void Finish(RunReport& report);
  void WriteOnSignal(int signal_number);

  Application& app_;
  std::string path_;
  std::FILE* err_;
  bool ran_ = false;
  int exit_code_ = kExitOk;
  std::string message_;

  // What a signal's report may read, set when a run starts.
  std::mutex lock_;
  bool running_ = false;
  RunReport started_;
};

}  // namespace kalvex
