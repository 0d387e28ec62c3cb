#include "exports/export_common.h"

#include <cstdlib>
#include <optional>

#include "ftp/ftp_transfer.h"
#include "ftp/photo_sync.h"
#include "platform/platform.h"
#include "runcontrol/config_keys.h"

namespace kalvex {

std::string WorkingFolder() { return platform::Windir() + "\\TEMP\\Kalvex"; }

std::string EnsureWorkingFolder() {
  const std::string folder = WorkingFolder();
  if (!platform::DirectoryExists(folder)) platform::ForceDirectories(folder);
  return folder;
}

void ReadServerSettings(RunContext& context, const std::string& portal) {
  const IniFile& ini = context.Config();
  WindowModel& window = context.window;
  window.SetText(WindowField::kParamServeurPixtrove,
                 config::Read(ini, config::kPixtroveServeurFTP));
  window.SetText(WindowField::kParamUserPixtrove, config::Read(ini, config::kPixtroveUser));
  window.SetText(WindowField::kParamPasswordPixtrove, config::Read(ini, config::kPixtrovePassWord));
  window.SetText(WindowField::kParamRepertPixtrove, config::Read(ini, config::kPixtrovePathFTP));
  using config::PortalKey;
  window.SetText(WindowField::kParamServeur, config::Read(ini, portal, PortalKey::kServeurFTP));
  window.SetText(WindowField::kParamUser, config::Read(ini, portal, PortalKey::kUser));
  window.SetText(WindowField::kParamPassword, config::Read(ini, portal, PortalKey::kPassWord));
  window.SetText(WindowField::kParamRepert, config::Read(ini, portal, PortalKey::kPathFTP));
  context.state.image_server_check =
      IniFile::IsOn(config::Read(ini, portal, PortalKey::kTestFTPPixtrove));
}

std::string PhotoAddress(const RunState& state, const std::string& image_name) {
  return state.image_base_url + "/" + image_name + ".jpg";
}

PhotoSyncFunction DefaultPhotoSync(RunContext& context) {
  return [&context](const std::string& photo_name) { SyncPhoto(context, photo_name); };
}

namespace {

// The number an XPath comparison sees in a decimal text, or nothing for any other text.
std::optional<double> DecimalValue(const std::string& text) {
  if (!IsDecimalIdentifier(text)) return std::nullopt;
  double value = std::strtod(text.c_str(), nullptr);
  return value == 0 ? 0.0 : value;  // -0 and 0 are one key
}

}  // namespace

VehicleIndex::VehicleIndex(IXMLCursor& document, const std::string& vehicle_key)
    : vehicle_key_(vehicle_key), vehicles_(document.Select(kVehiclesXPath)) {
  for (int32_t i = 0; i < vehicles_->Count(); ++i) {
    vehicles_->MoveTo(i);
    const XMLCursorPtr keys = vehicles_->Select(vehicle_key);
    for (; keys && !keys->Eof(); keys->Next())
      if (std::optional<double> value = DecimalValue(keys->GetValue(".")))
        positions_.emplace(*value, i);  // the first vehicle in document order wins
  }
}

IXMLCursor* VehicleIndex::Find(const std::string& link_id) {
  // An empty identifier is refused exactly as the vehicle query refuses it.
  VehicleByKeyXPath(vehicle_key_, link_id);
  std::optional<double> value = DecimalValue(link_id);
  if (!value) return nullptr;
  auto it = positions_.find(*value);
  if (it == positions_.end()) return nullptr;
  vehicles_->MoveTo(it->second);
  return vehicles_.get();
}

void RunPhotoLoop(RunContext& context, IXMLCursor& document, const std::string& vehicle_key,
                  const PhotoSlots& slots, const PhotoSyncFunction& sync) {
  XMLCursorPtr links = document.Select(kPhotoLinksXPath);
  context.WriteLog("Après premier Select LiensImages");
  VehicleIndex index(document, vehicle_key);
  while (!links->Eof()) {
    ++context.state.photo_counter;
    const std::string image_name = links->GetValue(kPhotoNameField);
    if (IXMLCursor* vehicle = index.Find(links->GetValue(kLinkVehicleIdField)))
      FillFirstEmptyPhotoSlot(*vehicle, slots, PhotoAddress(context.state, image_name));
    sync(image_name + ".jpg");
    links->Next();
    context.window.ProcessPendingEvents();
  }
}

void RemoveLinkRecordSets(RunContext& context, IXMLCursor& document) {
  XMLCursorPtr found = document.Select(kPhotoLinkSetXPath);
  context.WriteLog("Avant Suppression LiensImages");
  if (!found->Eof()) found->Delete();

  found = document.Select(kEquipmentLabelSetXPath);
  context.WriteLog("Avant Suppression LiensEquipements");
  if (!found->Eof()) found->Delete();

  found = document.Select(kAliasesXPath);
  context.WriteLog("Après Suppression LiensImages & LiensEquipements & Aliases");
  if (!found->Eof()) found->Delete();
  context.WriteLog("Après Aliases");
}

void RestartLogWithUpdateSummary(RunContext& context) {
  context.WriteLog("");
  if (context.state.update_counter != 0)
    context.WriteLog("Nb Images Mises à jour : " + std::to_string(context.state.update_counter) +
                     " photos --- ");
}

std::string SendExportFileAndLog(RunContext& context, const std::string& local_path,
                                 const std::string& log_suffix) {
  std::string result = FtpTransfer::kConnectionFailed;
  if (context.ftp) context.ftp->SendExportFile(local_path, result);
  context.WriteLog(result + "Fichier VO actualisé transmis sur site FTP : " + log_suffix);
  return result;
}

}  // namespace kalvex
