#include "exports/export_run.h"

#include <optional>
#include <unordered_map>
#include <utility>

#include "exports/export_texts.h"
#include "exports/exporters.h"
#include "exports/ftp_link.h"
#include "exports/photo_service.h"
#include "exports/portal_upload.h"
#include "exports/rewrite_shape.h"
#include "exports/vehicle_index.h"
#include "ftp/ftp_transfer.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/unicode_case.h"
#include "runcontrol/run_folders.h"
#include "runcontrol/runcontrol_texts.h"
#include "runcontrol/stock_guard.h"
#include "zip/zip_builder.h"

namespace kalvex {

namespace {

// The window's services for the archive step, whose progress also checks the run's
// deadline: the archive library stops, its work file goes, and the error ends the run.
class DeadlineFrontEnd : public FrontEnd {
 public:
  DeadlineFrontEnd(FrontEnd& inner, const RunDeadline& deadline)
      : inner_(inner), deadline_(deadline) {}
  void ProcessPendingEvents() override {
    inner_.ProcessPendingEvents();
    deadline_.Check();
  }
  void ShowMessage(const std::string& text) override { inner_.ShowMessage(text); }
  void RequestClose() override { inner_.RequestClose(); }
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override {
    return inner_.OpenProgressDialog(caption);
  }

 private:
  FrontEnd& inner_;
  const RunDeadline& deadline_;
};

}  // namespace

ExportRun::ExportRun(RunContext& context, const Portal& portal, const ExportServices& services)
    : context_(context), services_(services), portal_(portal), working_folder_(WorkingFolder()) {}

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

std::vector<std::string> ExportRun::SettingFileNames(
    std::initializer_list<config::PortalKey> keys,
    std::initializer_list<NamedOutput> outputs) const {
  std::vector<NamedOutput> taken;
  for (const PortalExporter& exporter : Exporters()) {
    const std::string document = VehicleDocumentName(exporter.portal.name);
    taken.push_back({export_text::VehicleDocumentNamed(document), document});
  }
  taken.insert(taken.end(), outputs.begin(), outputs.end());
  std::vector<std::string> names;
  for (config::PortalKey key : keys) {
    const std::string name = SettingFileName(key);
    const char* key_name = config::PortalKeyName(key);
    for (const NamedOutput& other : taken)
      if (SameTextIgnoringCase(name, other.name))
        throw Error(export_text::FileNameTaken(portal_.code, key_name, name, other.what));
    taken.push_back({export_text::KeyNamed(portal_.code, key_name, name), name});
    names.push_back(name);
  }
  return names;
}

std::string ExportRun::SettingFolderToEmpty(config::PortalKey key) const {
  return FolderToEmpty(portal_.code, config::PortalKeyName(key), Setting(key), working_folder_,
                       state().photo_folder);
}

void ExportRun::RenewFolderToEmpty(config::PortalKey key) const {
  const std::string value = Setting(key);
  try {
    platform::RenewFolderBelow(platform::Windir(), value);
  } catch (const platform::LinkInPath& link) {
    throw Error(runcontrol_text::FolderRefused(portal_.code, config::PortalKeyName(key), value,
                                               link.what()));
  }
}

std::string ExportRun::Stamp(const char* pattern) const {
  return FormatStamp(context_.clock.Now(), pattern);
}

std::string ExportRun::DocumentName() const { return Shown(DocumentPath()); }

int32_t ExportRun::VehicleCount() const { return state().vehicle_counter; }

int32_t ExportRun::PhotoCount() const { return state().photo_counter; }

PhotoService& ExportRun::Photos() const {
  if (services_.photos == nullptr) throw Error(export_text::kPhotoServiceMissing);
  return *services_.photos;
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
  FtpLink* ftp = services_.ftp;
  if (ftp) ftp->SetImageServerCheck(IniFile::IsOn(Setting(PortalKey::kTestFTPPixtrove)));

  // Passive mode and TLS of each server, read (and a wrong TLS value refused) before any
  // connection; a CA file given to the FTP link is kept.
  auto security = [ftp](FtpServer server, const std::string& section, const std::string& passive,
                        const std::string& tls) {
    FtpSecurity result = ftp != nullptr ? ftp->Security(server) : FtpSecurity{};
    result.passive = IniFile::IsOn(passive);
    const std::optional<TlsMode> mode = TlsModeFromSetting(tls);
    if (!mode) throw Error(InvalidTlsSettingMessage(section, tls));
    result.tls = *mode;
    return result;
  };
  const FtpSecurity image_server =
      security(FtpServer::kImages, config::kPixtroveTLS.section,
               config::Read(ini, config::kPixtrovePassif), config::Read(ini, config::kPixtroveTLS));
  const FtpSecurity portal_drop = security(FtpServer::kPortal, std::string(portal_.code),
                                           Setting(PortalKey::kPassif), Setting(PortalKey::kTLS));
  if (ftp) {
    ftp->SetSecurity(FtpServer::kImages, image_server);
    ftp->SetSecurity(FtpServer::kPortal, portal_drop);
  }
}

std::string ExportRun::DocumentPath() const {
  return VehicleDocumentPath(working_folder_, portal_.name);
}

XMLCursorPtr ExportRun::LoadDocument() {
  state().deadline.EnterStep(runcontrol_text::kStepReadingDocument);
  const std::string shown = DocumentName();
  state().report.document = shown;
  XMLCursorPtr document = CreateXMLCursor();
  document->Load(DocumentPath());
  state().deadline.Check();
  state().ResetCounters();
  state().report.counters_known = true;
  if (state().min_vehicles > 0)
    CheckStock(shown, document->Select(kVehiclesXPath)->Count(), state().min_vehicles);
  return document;
}

void ExportRun::CheckTopLevel(IXMLCursor& document,
                              std::initializer_list<std::string_view> also_kept) const {
  kalvex::CheckTopLevel(document, also_kept, DocumentName());
}

void ExportRun::CheckRewriteShape(IXMLCursor& document, const RewriteShape& shape) const {
  kalvex::CheckRewriteShape(document, shape, DocumentName());
}

void ExportRun::ForEachVehicle(IXMLCursor& document, const VehicleEdit& edit,
                               bool log_first_select) {
  state().deadline.EnterStep(runcontrol_text::kStepVehicles);
  XMLCursorPtr vehicles = document.Select(kVehiclesXPath);
  if (log_first_select) WriteLog(export_text::kAfterFirstVehicleSelect);
  while (!vehicles->Eof()) {
    ++state().vehicle_counter;
    edit(*vehicles);
    vehicles->Next();
    context_.window.ProcessPendingEventsWhenDue();
    state().deadline.Check();
  }
}

void ExportRun::RunPhotoLoop(IXMLCursor& document, const std::string& vehicle_key,
                             const PhotoSlots& slots) {
  state().deadline.EnterStep(runcontrol_text::kStepPhotos);
  PhotoService& photos = Photos();
  XMLCursorPtr links = document.Select(kPhotoLinksXPath);
  WriteLog(export_text::kAfterFirstPhotoLinkSelect);
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
    state().deadline.Check();
  }
}

void ExportRun::RemoveLinkRecordSets(IXMLCursor& document) {
  state().deadline.EnterStep(runcontrol_text::kStepWritingFiles);
  XMLCursorPtr found = document.Select(kPhotoLinkSetXPath);
  WriteLog(export_text::kBeforePhotoLinksRemoved);
  if (!found->Eof()) found->Delete();

  found = document.Select(kEquipmentLabelSetXPath);
  WriteLog(export_text::kBeforeEquipmentLabelsRemoved);
  if (!found->Eof()) found->Delete();

  found = document.Select(kAliasesXPath);
  WriteLog(export_text::kAfterLinksRemoved);
  if (!found->Eof()) found->Delete();
  WriteLog(export_text::kAfterAliases);
}

void ExportRun::ParseMadeText(IXMLCursor& document, const std::string& text, bool reload) {
  try {
    if (reload)
      document.ReloadXML(text);
    else
      document.LoadXML(text);
  } catch (const XMLParseException& e) {
    // Parsed text has no name of its own: the error says which text it was.
    if (!e.source().empty()) throw;
    throw XMLParseException(e.code(), e.line(), e.column(),
                            export_text::RewrittenText(DocumentName()), e.source_text(),
                            e.reason());
  }
}

std::string ExportRun::Reparse(IXMLCursor& document) {
  std::string text = document.XML();
  ParseMadeText(document, text, /*reload=*/true);
  return text;
}

void ExportRun::ReloadResult(IXMLCursor& document, const std::string& text,
                             std::string_view after_line) {
  state().deadline.EnterStep(runcontrol_text::kStepWritingFiles);
  // The memo keeps the one copy of the text the log line needs.
  context_.WriteLog(export_text::kResultPrefix, text);
  WriteLog(std::string(after_line));
  ParseMadeText(document, text);
  WriteLog(export_text::kBeforeSave);
}

void ExportRun::Save(IXMLCursor& document, std::initializer_list<std::string> paths) {
  state().deadline.EnterStep(runcontrol_text::kStepWritingFiles);
  // A save that fails (a full disk) leaves the files before the failing one in place:
  // they are the run's all the same and go into the report. A file put in place is a new
  // file, which tells it from one an earlier run left there.
  std::vector<std::optional<platform::FileId>> before;
  for (const std::string& path : paths) before.push_back(platform::FileIdentity(path));
  try {
    // The same document under every name: serialised once.
    document.SaveToFiles(std::vector<std::string>(paths));
  } catch (...) {
    size_t at = 0;
    for (const std::string& path : paths) {
      const std::optional<platform::FileId> now = platform::FileIdentity(path);
      if (now && now != before[at]) NoteOutputFile(path);
      ++at;
    }
    throw;
  }
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
    ParseMadeText(document, text);
    Save(document, {kept_path});
  }
  ReloadResult(document, ApplyRewrites(std::move(text), result_rewrite),
               export_text::kAfterRewrites);
  Save(document, final_paths);
}

void ExportRun::BuildArchive(const std::string& archive_path, const std::string& file_spec) {
  state().deadline.EnterStep(runcontrol_text::kStepArchive);
  if (platform::FileExists(archive_path)) platform::RemoveFile(archive_path);
  DeadlineFrontEnd front_end(context_.window.Ui(), state().deadline);
  TZip zip(front_end);
  zip.SetZipFileName(archive_path);
  zip.FilesToAdd().push_back(file_spec);
  int32_t written = 0;
  try {
    written = zip.Add();
  } catch (const RunDeadlineExceeded&) {
    // The archive was begun, empty, when it was opened: it goes with the work cut short.
    if (platform::FileExists(archive_path)) platform::RemoveFile(archive_path);
    throw;
  }
  // An archive without the files it was made for must not be sent as the delivery.
  if (written <= 0) throw Error(export_text::ArchiveNotMade(Shown(archive_path), Shown(file_spec)));
  NoteOutputFile(archive_path);
  context_.window.AddMemoLine(export_text::ArchiveMade(Shown(archive_path)));
}

void ExportRun::ArchiveResultFile(const std::string& archive_path, const std::string& result_path) {
  if (state().update_counter == 0) RestartLog();
  BuildArchive(archive_path, result_path);
  RestartLog();
}

void ExportRun::LogUpdateSummary() {
  if (state().update_counter != 0) WriteLog(export_text::PhotosUpdated(state().update_counter));
  // The "Pb Envoi" lines went with the restarted log; the summary keeps their count.
  if (!state().report.photos_not_sent.empty())
    WriteLog(export_text::PhotosNotSent(state().report.photos_not_sent.size()));
}

std::string ExportRun::SendExportFile(const std::string& path, const std::string& log_suffix) {
  state().deadline.EnterStep(runcontrol_text::kStepSending);
  std::string result = FtpTransfer::kConnectionFailed;
  if (services_.upload) {
    result = services_.upload->Send(path);
    if (result != FtpTransfer::kTransferOk) state().portal_upload_failed = true;
  }
  RunReport& report = state().report;
  report.upload_attempted = true;
  report.upload_result = result;
  report.remote_name = LocalFileName(path);
  WriteLog(export_text::ExportFileSent(result, log_suffix));
  return result;
}

std::string ExportRun::SendArchive(const std::string& archive_path) {
  const size_t slash = archive_path.find_last_of("\\/");
  const std::string file =
      slash == std::string::npos ? archive_path : archive_path.substr(slash + 1);
  return SendExportFile(archive_path, export_text::ArchiveSent(file, state().vehicle_counter));
}

void ExportRun::Finish() { context_.window.SetAutoClose(true); }

}  // namespace kalvex
