#include "runcontrol/run_driver.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/platform.h"
#include "platform/temporary_files.h"
#include "platform/unicode_case.h"
#include "runcontrol/config_keys.h"
#include "runcontrol/run_deadline.h"
#include "runcontrol/run_folders.h"
#include "runcontrol/runcontrol_texts.h"
#include "runcontrol/stock_guard.h"

namespace kalvex {

const std::vector<std::string>& PortalCodes() {
  static const std::vector<std::string> kCodes = {"PARUVENDU",   "AUTOSCOUT24", "SITAUTOPRO",
                                                  "TOPANNONCES", "LEBONCOIN",   "INFOPRESS"};
  return kCodes;
}

void RunDriver::SetExporter(const std::string& code, Exporter exporter) {
  exporters_[code] = std::move(exporter);
}

void RunDriver::FormCreate(const std::vector<std::string>& args) {
  if (args.size() == 1) {
    RunExport(args[0]);
  } else {
    ctx_.window.AddMemoLine(runcontrol_text::kSyntax);
  }
}

void RunDriver::Button1Click() {
  const std::string text = ctx_.window.Text(WindowField::kCBExport);
  if (!text.empty()) RunExport(text);
}

void RunDriver::LockPortal(const std::string& code) {
  if (locks_.count(code) != 0) return;  // this process holds it already
  const std::string path = PortalRunFile(code, ".lock");
  platform::ForceDirectories(TempFolder());
  std::unique_ptr<platform::FileLock> lock = platform::FileLock::TryAcquire(path);
  if (!lock) throw Error(runcontrol_text::PortalLocked(code, platform::NativePath(path)));
  locks_.emplace(code, std::move(lock));
}

void RunDriver::RunExport(const std::string& option) {
  ctx_.state.report = RunReport{};
  ctx_.state.report.option = option;
  if (observer_) observer_->RunStarted(option);
  try {
    Run(option);
  } catch (...) {
    ctx_.state.deadline.Stop();
    if (observer_) observer_->RunEnded(std::current_exception());
    throw;
  }
  ctx_.state.deadline.Stop();
  if (observer_) observer_->RunEnded(nullptr);
}

void RunDriver::Run(const std::string& option) {
  RunState& state = ctx_.state;
  const std::string code = UpperCaseAscii(option);
  state.selected_portal.clear();
  state.portal_upload_failed = false;
  state.min_vehicles = 0;
  state.deadline.Stop();

  const auto& codes = PortalCodes();
  const bool recognised = std::find(codes.begin(), codes.end(), code) != codes.end();
  const std::string folder = ini_folder_.empty() ? platform::ExecutableDir() : ini_folder_;
  const std::string ini_path = folder + "Kalvex.ini";
  const bool ini_found = platform::FileExists(ini_path);
  // Nothing is written before the base folder is known and, for a portal, before this
  // run is the only one of that portal.
  if (recognised || !ini_found) platform::CheckWindir();
  if (recognised) {
    LockPortal(code);
    platform::SetTemporaryFileTag(code);
    const int stale = platform::RemoveStaleTemporaryFiles(platform::NativePath(WorkingFolder()));
    if (stale > 0) ctx_.window.AddMemoLine(runcontrol_text::StaleTemporaryFilesRemoved(stale));
  }

  if (!ini_found) ctx_.WriteLog(runcontrol_text::IniNotFound(ini_path));
  state.config = std::make_shared<IniFile>(platform::NativePath(ini_path));
  if (state.config->NotText()) ctx_.window.AddMemoLine(runcontrol_text::IniNotText(ini_path));

  state.photo_folder = config::Read(*state.config, config::kPathImages);
  state.image_base_url = config::Read(*state.config, config::kURLImages);

  if (recognised) {
    state.report.portal = code;
    state.min_vehicles = ReadMinimumVehicles(*state.config);
    state.deadline.Start(ReadMaximumDuration(*state.config), deadline_minute_);
    state.selected_portal = code;
  }

  ctx_.window.SetManualStartVisible(state.selected_portal.empty());
  ctx_.window.SetText(WindowField::kCaption, runcontrol_text::Caption(code));
  ctx_.window.SetText(WindowField::kBoxServer, runcontrol_text::PortalServerBox(code));

  if (!recognised) return;
  ctx_.WriteLog("");
  auto it = exporters_.find(code);
  if (it != exporters_.end() && it->second) it->second(ctx_);
}

}  // namespace kalvex
