#include "app/run_reporter.h"

#include <algorithm>

#include "app/app_texts.h"
#include "platform/temporary_files.h"
#include "platform/unicode_case.h"
#include "runcontrol/run_deadline.h"
#include "runcontrol/stock_guard.h"
#include "runcontrol/window_model.h"

namespace kalvex {

RunReporter::RunReporter(Application& app, std::string report_path, std::FILE* err)
    : app_(app), path_(std::move(report_path)), err_(err) {
  app_.Driver().SetObserver(this);
  if (!path_.empty())
    platform::SetSignalAction([this](int signal_number) { WriteOnSignal(signal_number); });
}

RunReporter::~RunReporter() {
  if (!path_.empty()) platform::SetSignalAction(nullptr);
  app_.Driver().SetObserver(nullptr);
}

void RunReporter::RunStarted(const std::string& option) {
  RunReport started;
  started.option = option;
  started.start_time = IsoLocalTimeNow();
  const std::string code = UpperCaseAscii(option);
  const auto& codes = PortalCodes();
  if (std::find(codes.begin(), codes.end(), code) != codes.end()) started.portal = code;
  std::lock_guard<std::mutex> guard(lock_);
  started_ = std::move(started);
  running_ = true;
}

void RunReporter::RunEnded(std::exception_ptr error) {
  const RunState& state = app_.State();
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const StockBelowMinimum& e) {
      exit_code_ = kExitStockBelowMinimum;
      message_ = e.what();
    } catch (const RunDeadlineExceeded& e) {
      exit_code_ = kExitDeadline;
      message_ = e.what();
    } catch (const std::exception& e) {
      exit_code_ = kExitError;
      message_ = e.what();
    } catch (...) {
      exit_code_ = kExitError;
      message_ = app_text::kUnknownError;
    }
  } else if (state.selected_portal.empty()) {
    std::string known;
    for (const auto& c : PortalCodes()) known += (known.empty() ? "" : ", ") + c;
    exit_code_ = kExitSyntax;
    message_ = app_text::UnknownPortal(state.report.option.value_or(""), known);
  } else if (!app_.Window().AutoClose()) {
    exit_code_ = kExitError;
    message_ = app_text::RunNotEnded(state.selected_portal);
  } else if (state.portal_upload_failed) {
    std::string result = state.report.upload_result;
    while (!result.empty() && result.back() == ' ') result.pop_back();
    exit_code_ = kExitUploadFailed;
    message_ = app_text::NotDelivered(result);
  } else if (!state.report.photos_not_sent.empty()) {
    exit_code_ = kExitPhotosNotSent;
    message_ = app_text::PhotosNotSent(state.report.photos_not_sent.size());
  } else {
    exit_code_ = kExitOk;
    message_.clear();
  }
  Finish(app_.State().report);
}

void RunReporter::SyntaxError(const std::string& message) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    started_ = RunReport{};
    started_.start_time = IsoLocalTimeNow();
    running_ = true;
  }
  exit_code_ = kExitSyntax;
  message_ = message;
  RunReport report;
  Finish(report);
}

void RunReporter::Finish(RunReport& report) {
  ran_ = true;
  const RunState& state = app_.State();
  report.end_time = IsoLocalTimeNow();
  report.exit_status = exit_code_;
  report.error = message_;
  if (report.counters_known) {
    report.vehicles = state.vehicle_counter;
    report.photos = state.photo_counter;
    report.updates = state.update_counter;
  }
  if (!path_.empty()) report.DescribeOutputFiles();
  std::lock_guard<std::mutex> guard(lock_);
  report.start_time = started_.start_time;
  running_ = false;
  if (path_.empty()) return;
  try {
    WriteRunReport(path_, report);
  } catch (const std::exception& e) {
    std::fprintf(err_, "%s\n",
                 EscapeControlsKeepingLines(app_text::ReportNotWritten(path_, e.what())).c_str());
    std::fflush(err_);
    if (exit_code_ == kExitOk) exit_code_ = kExitReportNotWritten;
  }
}

void RunReporter::WriteOnSignal(int signal_number) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!running_) return;
  RunReport report = started_;
  report.end_time = IsoLocalTimeNow();
  report.exit_status = 128 + signal_number;
  report.error = app_text::StoppedBySignal(signal_number);
  try {
    WriteRunReport(path_, report);
  } catch (const std::exception& e) {
    std::fprintf(err_, "%s\n",
                 EscapeControlsKeepingLines(app_text::ReportNotWritten(path_, e.what())).c_str());
  }
}

}  // namespace kalvex
