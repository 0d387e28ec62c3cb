#include "runcontrol/run_driver.h"

#include <algorithm>

#include "platform/platform.h"
#include "platform/unicode_case.h"
#include "runcontrol/config_keys.h"

namespace kalvex {

const std::vector<std::string>& PortalCodes() {
  static const std::vector<std::string> kCodes = {"PARUVENDU",   "AUTOSCOUT24", "SITAUTOPRO",
                                                  "TOPANNONCES", "LEBONCOIN",   "INFOPRESS"};
  return kCodes;
}

void RunDriver::SetExporter(const std::string& code, Exporter exporter) {
  exporters_[code] = std::move(exporter);
}

bool RunDriver::HasExporter(const std::string& code) const {
  auto it = exporters_.find(code);
  return it != exporters_.end() && it->second;
}

void RunDriver::FormCreate(const std::vector<std::string>& args) {
  ctx_.state.image_server_listing.reset();
  if (args.size() == 1) {
    RunExport(args[0]);
  } else {
    ctx_.window.AddMemoLine("Syntax : Kalvex \"option\"");
  }
}

void RunDriver::Button1Click() {
  const std::string text = ctx_.window.Text(WindowField::kCBExport);
  if (!text.empty()) RunExport(text);
}

void RunDriver::RunExport(const std::string& option) {
  RunState& state = ctx_.state;
  const std::string code = UpperCaseAscii(option);
  state.selected_portal.clear();

  const std::string folder = ini_folder_.empty() ? platform::ExecutableDir() : ini_folder_;
  state.ini_path = folder + "Kalvex.ini";
  if (!platform::FileExists(state.ini_path))
    ctx_.WriteLog("Fichier INI non trouvé : " + state.ini_path);
  state.config = std::make_shared<IniFile>(platform::NativePath(state.ini_path));

  state.photo_folder = config::Read(*state.config, config::kPathImages);
  state.image_base_url = config::Read(*state.config, config::kURLImages);

  const auto& codes = PortalCodes();
  const bool recognised = std::find(codes.begin(), codes.end(), code) != codes.end();
  if (recognised) state.selected_portal = code;

  ctx_.window.SetManualStartVisible(state.selected_portal.empty());
  ctx_.window.SetText(WindowField::kCaption, "Export des données pour " + code);
  ctx_.window.SetText(WindowField::kBoxServer, "Connexion FTP pour " + code + " : ");

  if (!recognised) return;
  ctx_.WriteLog("");
  auto it = exporters_.find(code);
  if (it != exporters_.end() && it->second) it->second(ctx_);
}

}  // namespace kalvex
