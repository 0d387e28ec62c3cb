// The frame every portal exporter runs in. An exporter is a function of an ExportRun,
// and reaches the run only through it: its portal, its settings, the run's figures and
// the steps that exporters share, written once here over the run's context
// (configuration, window model, log, counters) and its services (photo service, portal
// upload, FTP link). An exporter file holds only what is its own: its record edits, its
// rewrite table and its file names. A typical XML exporter:
//
//   run.CreateWorkingFolder();
//   run.ReadServerSettings();
//   XMLCursorPtr document = run.LoadDocument();
//   run.CheckTopLevel(*document);
//   run.ForEachVehicle(*document, [&](IXMLCursor& vehicle) { ...its own edits... });
//   run.RunPhotoLoop(*document, kVehicleKeyIdNVO, kPhotoSlotsParuVendu);
//   run.CheckRewriteShape(*document, its_shape);
//   run.RewriteAndSave(*document, kept_path, {...}, its_table, {result_path, ...});
//   run.ArchiveResultFile(archive_path, result_path);
//   run.LogUpdateSummary();
//   run.SendArchive(archive_path);
//   run.Finish();
//
// Paths are in the tool's "\" form. Nothing here catches an error: errors of the cursor,
// the log, files and the archive end the run; FTP failures only change result texts.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "exports/export_services.h"
#include "exports/text_rewrite.h"
#include "exports/vehicle_document.h"
#include "runcontrol/config_keys.h"
#include "runcontrol/run_context.h"
#include "xml/xml_cursor.h"

namespace kalvex {

// True for a plain name of a file in a folder: not empty, not "." or "..", and without
// a folder part ("\", "/", ":").
bool IsPlainFileName(std::string_view name);

struct RewriteShape;  // rewrite_shape.h

// A portal as an exporter serves it.
struct Portal {
  std::string_view code;  // PARUVENDU...: the selected portal, its INI section, its run log
  std::string_view name;  // ParuVendu...: the vehicle data document "ExpDatas" + name + ".xml"
};

class ExportRun {
 public:
  ExportRun(RunContext& context, const Portal& portal, const ExportServices& services = {});

  const Portal& portal() const { return portal_; }

  // The working folder, Windir + "\TEMP\Kalvex" (vehicle data documents in, portal files
  // out), + "\" + file name.
  std::string WorkingPath(std::string_view file_name) const;
  // A path as the log and the memo show it (the system's own form).
  static std::string Shown(const std::string& path);

  void WriteLog(const std::string& text) { context_.WriteLog(text); }
  // The run's photo service; an Error when the services have none.
  PhotoService& Photos() const;
  // A key of the portal's section, with its default from the key table.
  std::string Setting(config::PortalKey key) const;
  // The file names that keys of the portal's section give, checked together before
  // anything is written. A name with a folder part ("\", "/", ":"), "." or ".." or
  // nothing at all ends the run with an Error naming the section, the key and the value:
  // no setting reaches outside the working folder. A name equal, letter case ignored as
  // on Windows, to a vehicle data document of the working folder (any portal's), to one
  // of the run's own outputs (`outputs`: what it is, its file name) or to the name of
  // another of the keys ends the run with an Error naming the key, the value and what
  // bears it already. Gives the names in the order of the keys.
  struct NamedOutput {
    std::string what;  // "la copie datée SitAutoPro-20261209.xml"
    std::string name;
  };
  std::vector<std::string> SettingFileNames(std::initializer_list<config::PortalKey> keys,
                                            std::initializer_list<NamedOutput> outputs) const;
  // A key of the portal's section naming, below Windir, a folder that the run empties
  // with everything in it: gives Windir + value, refused as FolderToEmpty (run_folders.h)
  // refuses it, the run's photo folder included.
  std::string SettingFolderToEmpty(config::PortalKey key) const;
  // Removes that folder with everything in it and makes it again, empty, going down from
  // Windir without following any link (platform::RenewFolderBelow). A symbolic link as
  // any component of the value, the last included and however it is spelled ("\lnk\",
  // "\lnk\."), ends the run with an Error naming the section, the key, the value and
  // the link, before anything is deleted.
  void RenewFolderToEmpty(config::PortalKey key) const;
  // The local date and time in a file-name pattern; the clock is read at each call.
  std::string Stamp(const char* pattern) const;
  // The vehicle data document as the log and the messages name it (Shown).
  std::string DocumentName() const;
  // The vehicle and photo counters of the run, as the loops below count them.
  int32_t VehicleCount() const;
  int32_t PhotoCount() const;

  // ---- the shared steps, in the order a run takes them ----

  // Creates the working folder when it is missing.
  void CreateWorkingFolder();
  // [Pixtrove] ServeurFTP, User, PassWord, PathFTP into the image-server fields, the same
  // four keys of the portal section into the portal-drop fields, then the image-server
  // check from the portal's TestFTPPixtrove (on for any text but "0"); last, Passif and
  // TLS of both sections into the security of the image-server and portal-drop sessions.
  // The check and the security go to the FTP link (a CA file set there stays), if any.
  // A TLS value other than "0", "1" or "2" ends the run with an Error naming the section
  // and the value, before any connection.
  void ReadServerSettings();
  // Loads the working folder's vehicle data document and sets the vehicle, photo and
  // update counters to 0. With [Options] MinVehicules set, a document holding fewer
  // vehicle records ends the run here (StockBelowMinimum), before anything is written
  // or sent. The run report gets the document's path and, once loaded, the counters.
  XMLCursorPtr LoadDocument();

  // The shape checks of the XML portal files (rewrite_shape.h) on the loaded document,
  // refusing it under DocumentName(): CheckTopLevel right after the load, with the
  // portal's own record sets; CheckRewriteShape once the loops have edited the records
  // (or before them, when they move none of the rewrite's markers).
  void CheckTopLevel(IXMLCursor& document,
                     std::initializer_list<std::string_view> also_kept = {}) const;
  void CheckRewriteShape(IXMLCursor& document, const RewriteShape& shape) const;

  // Selects the vehicle records and logs "Après premier Select DataVO" (unless
  // log_first_select is false); then for each vehicle adds 1 to the vehicle counter,
  // calls edit on the selection standing on it, moves Next and lets the window process
  // pending events.
  using VehicleEdit = std::function<void(IXMLCursor& vehicle)>;
  void ForEachVehicle(IXMLCursor& document, const VehicleEdit& edit, bool log_first_select = true);

  // Logs "Après premier Select LiensImages", then for every photo link adds 1 to the
  // photo counter, writes the photo's public address into the first empty slot of the
  // first vehicle whose vehicle_key equals the link's idNVO (compared as numbers), has
  // the photo service synchronise NomImage + ".jpg" whether or not a vehicle matched,
  // and lets the window process pending events.
  void RunPhotoLoop(IXMLCursor& document, const std::string& vehicle_key, const PhotoSlots& slots);

  // Removes LiensImagesS, LiensEquipementsS and Aliases (the first match of each) with
  // the log lines "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
  // "Après Suppression LiensImages & LiensEquipements & Aliases" (before the aliases go)
  // and "Après Aliases".
  void RemoveLinkRecordSets(IXMLCursor& document);

  // Logs "Result : " + text and after_line, parses the text into the document and logs
  // "Avant Enregistrement". A parse error of a text the run made (here and in
  // RewriteAndSave) names "texte réécrit de " + the document as its source.
  void ReloadResult(IXMLCursor& document, const std::string& text, std::string_view after_line);
  // Saves the document under each path, in order, serialised once (SaveToFiles); each
  // path goes into the run report's output files, also when a later one fails and the
  // files before it stay in place.
  void Save(IXMLCursor& document, std::initializer_list<std::string> paths);
  // A file the exporter wrote itself, for the run report's output files.
  void NoteOutputFile(const std::string& path);
  // The save and rewrite sequence of the XML portal files: saves the document under
  // kept_path, removes the link record sets, parses its text back and saves it under
  // kept_path again; then each of kept_stages rewrites the text, which is parsed into the
  // document and saved under kept_path; last, result_rewrite rewrites the text into the
  // result (ReloadResult with "Après Remplacements"), saved under final_paths.
  void RewriteAndSave(IXMLCursor& document, const std::string& kept_path,
                      std::initializer_list<std::vector<TextRewrite>> kept_stages,
                      const std::vector<TextRewrite>& result_rewrite,
                      std::initializer_list<std::string> final_paths);

  // The archive step: deletes a file at archive_path, creates the archive holding what
  // the file specification names (a full path, wildcards allowed) and adds "Fichier " +
  // archive path + " créé" to the memo. An archive that ends up not written (the user
  // cancelled, nothing matched) ends the run with an Error. The archive goes into the run
  // report's output files. Cut by the run's deadline, it leaves no archive.
  void BuildArchive(const std::string& archive_path, const std::string& file_spec);
  // The XML portals' archive: restarts the run log first when no photo was sent, builds
  // the archive of the result file, then restarts the run log.
  void ArchiveResultFile(const std::string& archive_path, const std::string& result_path);

  // An empty log entry: restarts the run log.
  void RestartLog() { WriteLog(""); }
  // "Nb Images Mises à jour : " + update counter + " photos --- " when photos were sent,
  // and "Nb Images non envoyées : " + count + " photos --- " when some did not reach the
  // image server.
  void LogUpdateSummary();
  // Sends the file to the portal drop and logs the result text followed by
  // "Fichier VO actualisé transmis sur site FTP : " + log_suffix. Gives the result text,
  // which the run report keeps with the file's remote name; a failed upload sets the run
  // state's portal_upload_failed. Without a portal upload: a failed connection.
  std::string SendExportFile(const std::string& path, const std::string& log_suffix);
  // The archive portals' upload: SendExportFile with archive file name + " - " + vehicle
  // counter + " VO" as log_suffix.
  std::string SendArchive(const std::string& archive_path);
  // Sets the auto-close flag: the run ended normally.
  void Finish();

 private:
  RunState& state() const { return context_.state; }
  std::string DocumentPath() const;
  // A key of the portal's section that names a file of the working folder, refused as
  // SettingFileNames says.
  std::string SettingFileName(config::PortalKey key) const;
  // Takes the document's text and parses it back into the document; gives the text.
  std::string Reparse(IXMLCursor& document);
  // LoadXML (ReloadXML when reload) of a text the run made, see ReloadResult.
  void ParseMadeText(IXMLCursor& document, const std::string& text, bool reload = false);

  RunContext& context_;
  ExportServices services_;
  Portal portal_;
  std::string working_folder_;
};

}  // namespace kalvex
