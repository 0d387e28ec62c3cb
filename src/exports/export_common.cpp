#include "exports/export_common.h"

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

void RunPhotoLoop(RunContext& context, IXMLCursor& document, const std::string& vehicle_key,
                  const PhotoSlots& slots, const PhotoSyncFunction& sync) {
  XMLCursorPtr links = document.Select(kPhotoLinksXPath);
  context.WriteLog("Après premier Select LiensImages");
  while (!links->Eof()) {
    ++context.state.photo_counter;
    const std::string image_name = links->GetValue(kPhotoNameField);
    XMLCursorPtr vehicle =
        links->Select(VehicleByKeyXPath(vehicle_key, links->GetValue(kLinkVehicleIdField)));
    if (!vehicle->Eof())
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
