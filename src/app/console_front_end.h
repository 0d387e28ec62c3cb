// The console front end: renders the window model on standard output (caption, memo
// lines as they come) and standard error (progress labels, when it is a terminal;
// message boxes). Memo lines that come in a burst (a photo loop logs hundreds of
// thousands) are written out together: at most every kFlushInterval, whenever the run
// lets events run, and at the end of the run.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"

namespace kalvex {

class ConsoleFrontEnd : public FrontEnd, public WindowObserver {
 public:
  ConsoleFrontEnd(std::FILE* out, std::FILE* err, bool err_is_terminal);

  // FrontEnd
  void ProcessPendingEvents() override { FlushOut(); }
  void ShowMessage(const std::string& text) override;
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override;

  // WindowObserver
  void TextChanged(WindowField field, const std::string& text) override;
  void MemoLineAdded(const std::string& line) override;
  void MemoCleared() override {}

  // The run report's file (native path); none unless set.
  void SetReportPath(std::string path) { report_path_ = std::move(path); }

  // Runs one export from the command line and gives its exit code (see run_reporter.h):
  // 0 normal end, 1 error, 2 syntax or unknown portal, 3 upload failed, 4 stock below
  // [Options] MinVehicules, 5 normal end but the report could not be written, 7 the run
  // lasted longer than [Options] DureeMaxMinutes.
  int Run(Application& app, const std::vector<std::string>& portal_args);

  static constexpr std::chrono::milliseconds kFlushInterval{50};

 private:
  // A line on out_, flushed now or, in a burst, at most every kFlushInterval.
  void WriteOut(const std::string& line, bool flush_now);
  void FlushOut();
  std::FILE* out_;
  std::FILE* err_;
  bool err_is_terminal_;
  bool label_line_open_ = false;
  bool out_held_ = false;  // lines written to out_ and not flushed yet
  std::chrono::steady_clock::time_point last_flush_{};
  std::string report_path_;
};

}  // namespace kalvex
