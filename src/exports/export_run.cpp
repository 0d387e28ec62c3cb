#include "exports/export_run.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "exports/export_texts.h"
#include "exports/vehicle_index.h"
#include "ftp/ftp_transfer.h"
#include "ftp/photo_service.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/run_folders.h"
#include "runcontrol/stock_guard.h"
#include "zip/zip_builder.h"

namespace kalvex {

ExportRun::ExportRun(RunContext& context, const Portal& portal)
    : context_(context), portal_(portal), working_folder_(WorkingFolder()) {}

std::string ExportRun::WorkingPath(std::string_view file_name) const {
  return working_folder_ + "\\" + std::string(file_name);
}

std::string ExportRun::Shown(const std::string& path) { return platform::NativePath(path); }

std::string ExportRun::Setting(config::PortalKey key) const {
  return config::Read(context_.Config(), std::string(portal_.code), key);
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string_view::npos;
}

std::string ExportRun::SettingFileName(config::PortalKey key) const {
  const std::string name = Setting(key);
  if (!IsPlainFileName(name))
    throw Error(export_text::FileNameRefused(portal_.code, config::PortalKeyName(key), name));
  return name;
}

std::string ExportRun::SettingFolderToEmpty(config::PortalKey key) const {
  const std::string value = Setting(key);
  const std::string folder = platform::Windir() + value;
  auto refused = [&](const std::string& reason) {
    return Error(
        export_text::FolderRefused(portal_.code, config::PortalKeyName(key), value, reason));
  };
  for (size_t start = 0; start <= value.size();) {
    const size_t end = std::min(value.find_first_of("\\/", start), value.size());
    if (value.compare(start, end - start, "..") == 0)
      throw refused(export_text::PathGoesUp(Shown(folder)));
    start = end + 1;
  }
  const std::string resolved = platform::ResolvedPath(folder);
  if (platform::IsFileSystemRoot(resolved)) throw refused(export_text::FolderIsRoot(resolved));
  const std::string windir = platform::Windir();
  const std::pair<const char*, std::string> kept[] = {
      {export_text::kWindirFolder, windir},
      {export_text::kLogFolder, windir.empty() ? std::string() : TempFolder()},
      {export_text::kWorkingFolder, working_folder_},
      {export_text::kPhotoFolder, state().photo_folder},
      {export_text::kProgramFolder, platform::ExecutableDir()},
      {export_text::kHomeFolder, platform::HomeFolder()},
  };
  for (const auto& [name, path] : kept) {
    if (path.empty()) continue;
    const std::string kept_path = platform::ResolvedPath(path);
    if (resolved == kept_path) throw refused(export_text::FolderIs(resolved, name));
    if (platform::FolderHolds(resolved, kept_path))
      throw refused(export_text::FolderHolds(resolved, name, kept_path));
  }
  return folder;
}

std::string ExportRun::Stamp(const char* pattern) const {
  return FormatStamp(context_.clock.Now(), pattern);
}

PhotoService& ExportRun::Photos() const {
  if (context_.photos == nullptr) throw Error(export_text::kPhotoServiceMissing);
  return *context_.photos;
}

void ExportRun::CreateWorkingFolder() {
  if (!platform::DirectoryExists(working_folder_)) platform::ForceDirectories(working_folder_);
}

void ExportRun::ReadServerSettings() {
  const IniFile& ini = context_.Config();
  WindowModel& window = context_.window;
  window.SetText(WindowField::kParamServeurPixtrove,
                 config::Read(ini, config::kPixtroveServeurFTP));
  window.SetText(WindowField::kParamUserPixtrove, config::Read(ini, config::kPixtroveUser));
  window.SetText(WindowField::kParamPasswordPixtrove, config::Read(ini, config::kPixtrovePassWord));
  window.SetText(WindowField::kParamRepertPixtrove, config::Read(ini, config::kPixtrovePathFTP));
  using config::PortalKey;
  window.SetText(WindowField::kParamServeur, Setting(PortalKey::kServeurFTP));
  window.SetText(WindowField::kParamUser, Setting(PortalKey::kUser));
  window.SetText(WindowField::kParamPassword, Setting(PortalKey::kPassWord));
  window.SetText(WindowField::kParamRepert, Setting(PortalKey::kPathFTP));
  state().image_server_check = IniFile::IsOn(Setting(PortalKey::kTestFTPPixtrove));

  // Passive mode and TLS of each server, read (and a wrong TLS value refused) before any
  // connection; a CA file given to the sessions is kept.
  auto security = [](const FtpSession* session, const std::string& section,
                     const std::string& passive, const std::string& tls) {
    FtpSecurity result = session != nullptr ? session->Security() : FtpSecurity{};
    result.passive = IniFile::IsOn(passive);
    const std::optional<TlsMode> mode = TlsModeFromSetting(tls);
    if (!mode) throw Error(InvalidTlsSettingMessage(section, tls));
    result.tls = *mode;
    return result;
  };
  FtpTransfer* ftp = context_.ftp;
  const FtpSecurity image_server =
      security(ftp ? &ftp->IdFTP1() : nullptr, config::kPixtroveTLS.section,
               config::Read(ini, config::kPixtrovePassif), config::Read(ini, config::kPixtroveTLS));
  const FtpSecurity portal_drop =
      security(ftp ? &ftp->IdFTP2() : nullptr, std::string(portal_.code),
               Setting(PortalKey::kPassif), Setting(PortalKey::kTLS));
  if (ftp) {
    ftp->IdFTP1().SetSecurity(image_server);
    ftp->IdFTP2().SetSecurity(portal_drop);
  }
}

std::string ExportRun::DocumentPath() const {
  return VehicleDocumentPath(working_folder_, portal_.name);
}

XMLCursorPtr ExportRun::LoadDocument() {
  const std::string shown = Shown(DocumentPath());
  state().report.document = shown;
  XMLCursorPtr document = CreateXMLCursor();
  document->Load(DocumentPath());
  state().ResetCounters();
  state().report.counters_known = true;
  if (state().min_vehicles > 0)
    CheckStock(shown, document->Select(kVehiclesXPath)->Count(), state().min_vehicles);
  return document;
}

void ExportRun::ForEachVehicle(IXMLCursor& document, const VehicleEdit& edit,
                               bool log_first_select) {
  XMLCursorPtr vehicles = document.Select(kVehiclesXPath);
  if (log_first_select) WriteLog("Après premier Select DataVO");
  while (!vehicles->Eof()) {
    ++state().vehicle_counter;
    edit(*vehicles);
    vehicles->Next();
    context_.window.ProcessPendingEventsWhenDue();
  }
}

void ExportRun::RunPhotoLoop(IXMLCursor& document, const std::string& vehicle_key,
                             const PhotoSlots& slots) {
  PhotoService& photos = Photos();
  XMLCursorPtr links = document.Select(kPhotoLinksXPath);
  WriteLog("Après premier Select LiensImages");
  VehicleIndex index(document, vehicle_key);
  // Only this loop writes the slots, and an address is never empty: a slot it found or
  // made filled stays so, and is not read again for the vehicle's next photo.
  std::unordered_map<int32_t, size_t> filled_slots;
  while (!links->Eof()) {
    ++state().photo_counter;
    const std::string file_name = links->GetValue(kPhotoNameField) + ".jpg";
    if (IXMLCursor* vehicle = index.Find(links->GetValue(kLinkVehicleIdField))) {
      size_t& filled = filled_slots[vehicle->Index()];
      if (filled < slots.size())
        FillFirstEmptyPhotoSlot(*vehicle, slots, state().image_base_url + "/" + file_name, &filled);
    }
    photos.Sync(file_name);
    links->Next();
    context_.window.ProcessPendingEventsWhenDue();
  }
}

void ExportRun::RemoveLinkRecordSets(IXMLCursor& document) {
  XMLCursorPtr found = document.Select(kPhotoLinkSetXPath);
  WriteLog("Avant Suppression LiensImages");
  if (!found->Eof()) found->Delete();

  found = document.Select(kEquipmentLabelSetXPath);
  WriteLog("Avant Suppression LiensEquipements");
  if (!found->Eof()) found->Delete();

  found = document.Select(kAliasesXPath);
  WriteLog("Après Suppression LiensImages & LiensEquipements & Aliases");
  if (!found->Eof()) found->Delete();
  WriteLog("Après Aliases");
}

std::string ExportRun::Reparse(IXMLCursor& document) {
  std::string text = document.XML();
  document.ReloadXML(text);
  return text;
}

void ExportRun::ReloadResult(IXMLCursor& document, const std::string& text,
                             std::string_view after_line) {
  // The memo keeps the one copy of the text the log line needs.
  context_.WriteLog("Result : ", text);
  WriteLog(std::string(after_line));
  document.LoadXML(text);
  WriteLog("Avant Enregistrement");
}

void ExportRun::Save(IXMLCursor& document, std::initializer_list<std::string> paths) {
  // The same document under every name: serialised once.
  document.SaveToFiles(std::vector<std::string>(paths));
  for (const std::string& path : paths) NoteOutputFile(path);
}

void ExportRun::NoteOutputFile(const std::string& path) {
  state().report.NoteOutputFile(Shown(path));
}

void ExportRun::RewriteAndSave(IXMLCursor& document, const std::string& kept_path,
                               std::initializer_list<std::vector<TextRewrite>> kept_stages,
                               const std::vector<TextRewrite>& result_rewrite,
                               std::initializer_list<std::string> final_paths) {
  Save(document, {kept_path});
  RemoveLinkRecordSets(document);
  std::string text = Reparse(document);
  Save(document, {kept_path});
  for (const std::vector<TextRewrite>& stage : kept_stages) {
    text = ApplyRewrites(std::move(text), stage);
    document.LoadXML(text);
    Save(document, {kept_path});
  }
  ReloadResult(document, ApplyRewrites(std::move(text), result_rewrite), "Après Remplacements");
  Save(document, final_paths);
}

void ExportRun::BuildArchive(const std::string& archive_path, const std::string& file_spec) {
  if (platform::FileExists(archive_path)) platform::RemoveFile(archive_path);
  TZip zip(context_.window.Ui());
  zip.SetZipFileName(archive_path);
  zip.FilesToAdd().push_back(file_spec);
  // An archive without the files it was made for must not be sent as the delivery.
  if (zip.Add() <= 0)
    throw Error(export_text::ArchiveNotMade(Shown(archive_path), Shown(file_spec)));
  NoteOutputFile(archive_path);
  context_.window.AddMemoLine(export_text::ArchiveMade(Shown(archive_path)));
}

void ExportRun::ArchiveResultFile(const std::string& archive_path, const std::string& result_path) {
  if (state().update_counter == 0) RestartLog();
  BuildArchive(archive_path, result_path);
  RestartLog();
}

void ExportRun::LogUpdateSummary() {
  if (state().update_counter != 0)
    WriteLog("Nb Images Mises à jour : " + std::to_string(state().update_counter) + " photos --- ");
  // The "Pb Envoi" lines went with the restarted log; the summary keeps their count.
  if (!state().report.photos_not_sent.empty())
    WriteLog("Nb Images non envoyées : " + std::to_string(state().report.photos_not_sent.size()) +
             " photos --- ");
}

std::string ExportRun::SendExportFile(const std::string& path, const std::string& log_suffix) {
  std::string result = FtpTransfer::kConnectionFailed;
  if (context_.ftp) context_.ftp->SendExportFile(path, result);
  RunReport& report = state().report;
  report.upload_attempted = true;
  report.upload_result = result;
  report.remote_name = LocalFileName(path);
  WriteLog(result + "Fichier VO actualisé transmis sur site FTP : " + log_suffix);
  return result;
}

std::string ExportRun::ArchiveSuffix(const std::string& archive_path) const {
  const size_t slash = archive_path.find_last_of("\\/");
  const std::string file =
      slash == std::string::npos ? archive_path : archive_path.substr(slash + 1);
  return file + " - " + std::to_string(state().vehicle_counter) + " VO";
}

void ExportRun::Finish() { context_.window.SetAutoClose(true); }

}  // namespace kalvex
