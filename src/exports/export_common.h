// What every portal exporter does the same way: the working folder, the server
// settings copied from Kalvex.ini into the window's eight edit fields, the photo loop
// that fills the first free photo slot of a vehicle and synchronises the photo, the
// removal of the link record sets, and the closing summary and upload lines.
//
// Exporters reach the run only through RunContext (configuration, window model, log,
// counters, FTP sessions); nothing here knows a front end. Paths are in the tool's
// "\" form. Errors of the cursor and of the log are not caught here.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

#include "exports/vehicle_document.h"
#include "runcontrol/run_context.h"
#include "xml/xml_cursor.h"

namespace kalvex {

// Windir + "\TEMP\Kalvex": vehicle data documents in, portal files out.
std::string WorkingFolder();
// The working folder, created first when it is missing.
std::string EnsureWorkingFolder();

// Copies [Pixtrove] ServeurFTP, User, PassWord, PathFTP into the image-server fields
// and the same four keys of the portal section into the portal-drop fields, then sets
// the image-server check from the portal's TestFTPPixtrove (on for any text but "0").
void ReadServerSettings(RunContext& context, const std::string& portal);

// A photo's public address: image base URL + "/" + image name + ".jpg".
std::string PhotoAddress(const RunState& state, const std::string& image_name);

// What the photo loop does with each photo file name (NomImage + ".jpg").
using PhotoSyncFunction = std::function<void(const std::string& photo_name)>;
// SyncPhoto of the FTP part, on this context.
PhotoSyncFunction DefaultPhotoSync(RunContext& context);

// The vehicles of a document by the number in their key field, read once, so that
// finding the vehicle of a photo link costs a hash lookup instead of a query over the
// whole stock. Answers as the query VehicleByKeyXPath(key, id) would: numbers compared
// as numbers, the first vehicle in document order, no vehicle for an identifier that is
// not a decimal number, EmptyIdentifierError for an empty one. Photo slots written
// through the vehicle given back do not change the answers (keys are not edited).
class VehicleIndex {
 public:
  VehicleIndex(IXMLCursor& document, const std::string& vehicle_key);
  // The vehicle selection standing on the vehicle, or nullptr when none matches.
  IXMLCursor* Find(const std::string& link_id);

 private:
  std::string vehicle_key_;
  XMLCursorPtr vehicles_;
  std::unordered_map<double, int32_t> positions_;
};

// The photo loop: logs "Après premier Select LiensImages", then for every photo link of
// the document adds 1 to the photo counter, selects the vehicles whose vehicle_key
// equals the link's idNVO (VehicleByKeyXPath: compared as numbers), fills the first
// empty slot of the first match with the photo's public address,
// synchronises NomImage + ".jpg" whether or not a vehicle matched, and lets the window
// process pending events.
void RunPhotoLoop(RunContext& context, IXMLCursor& document, const std::string& vehicle_key,
                  const PhotoSlots& slots, const PhotoSyncFunction& sync);

// Removes LiensImagesS, LiensEquipementsS and Aliases (the first match of each) with the
// log lines "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
// "Après Suppression LiensImages & LiensEquipements & Aliases" (before the aliases go)
// and "Après Aliases".
void RemoveLinkRecordSets(RunContext& context, IXMLCursor& document);

// Restarts the run log, then logs "Nb Images Mises à jour : " + update counter +
// " photos --- " when photos were sent to the image server.
void RestartLogWithUpdateSummary(RunContext& context);

// Sends the file to the portal drop and logs the result text followed by
// "Fichier VO actualisé transmis sur site FTP : " + log_suffix. Gives the result text.
// A context without FTP sessions reports the connection failure.
std::string SendExportFileAndLog(RunContext& context, const std::string& local_path,
                                 const std::string& log_suffix);

}  // namespace kalvex
