#include "exports/paru_vendu_export.h"

#include <array>
#include <optional>

#include "exports/ad_text.h"
#include "platform/platform.h"
#include "runcontrol/config_keys.h"

namespace kalvex {

namespace {

// The tag renamings of the serialised document, in order.
constexpr std::array<TextReplacement, 14> kParuVenduTagRenamings{{
    {"</NomPhoto1>", "</Photo>"},
    {"</NomPhoto2>", "</Photo>"},
    {"</NomPhoto3>", "</Photo>"},
    {"</NomPhoto4>", "</Photo>"},
    {"</NomPhoto5>", "</Photo>"},
    {"</NomPhoto6>", "</Photo>"},
    {"<NomPhoto1>", "<Photo Num=\"1\">"},
    {"<NomPhoto2>", "<Photo Num=\"2\">"},
    {"<NomPhoto3>", "<Photo Num=\"3\">"},
    {"<NomPhoto4>", "<Photo Num=\"4\">"},
    {"<NomPhoto5>", "<Photo Num=\"5\">"},
    {"<NomPhoto6>", "<Photo Num=\"6\">"},
    {"<idNVO>", "<id-VO>"},
    {"</idNVO>", "</id-VO>"},
}};

constexpr const char* kPortal = "PARUVENDU";

void EditVehicles(RunContext& context, IXMLCursor& document, bool expand_equipment) {
  XMLCursorPtr vehicles = document.Select(kVehiclesXPath);
  context.WriteLog("Après premier Select DataVO");
  std::optional<EquipmentLabels> labels;
  if (expand_equipment) labels.emplace(document);
  while (!vehicles->Eof()) {
    ++context.state.vehicle_counter;
    // An empty make leaves the model text as it is (StripBrand ignores an empty brand).
    vehicles->SetValue("ModeleVersion", StripBrand(vehicles->GetValue("ModeleVersion"),
                                                   vehicles->GetValue("SousRubrique")));
    if (expand_equipment) {
      for (const char* field : {kEquipmentFields.interior, kEquipmentFields.exterior,
                                kEquipmentFields.safety, kEquipmentFields.extra})
        vehicles->SetValue(field, ExpandEquipment(*labels, vehicles->GetValue(field)));
    }
    vehicles->Next();
  }
}

}  // namespace

void ExportParuVendu(RunContext& context) { ExportParuVendu(context, DefaultPhotoSync(context)); }

void ExportParuVendu(RunContext& context, const PhotoSyncFunction& sync) {
  RunState& state = context.state;
  const std::string working_folder = EnsureWorkingFolder();

  const bool expand_equipment =
      IniFile::IsOn(config::Read(context.Config(), kPortal, config::PortalKey::kFlgInfoEquip));
  ReadServerSettings(context, kPortal);

  XMLCursorPtr document = CreateXMLCursor();
  document->Load(VehicleDocumentPath(working_folder, "ParuVendu"));
  state.ResetCounters();

  EditVehicles(context, *document, expand_equipment);
  RunPhotoLoop(context, *document, kVehicleKeyIdNVO, kPhotoSlotsParuVendu, sync);
  RemoveLinkRecordSets(context, *document);

  const std::string text = ReplaceAllIgnoringCase(document->XML(), kParuVenduTagRenamings);
  context.WriteLog("Result : " + text);
  context.WriteLog("Après Replacements");
  document->LoadXML(text);
  context.WriteLog("Avant Enregistrement");

  const std::string stamped_path =
      working_folder + "\\" + FormatStamp(context.clock.Now(), "yyyymmddhhnn") + ".xml";
  document->Save(stamped_path);
  const std::string export_path =
      working_folder + "\\FerlaneDatasVO-" + FormatStamp(context.clock.Now(), "yyyymmdd") + ".xml";
  document->Save(export_path);

  const std::string raredo_log =
      platform::Windir() + "\\TEMP\\Raredo" + state.selected_portal + ".log";
  if (platform::FileExists(raredo_log)) platform::RemoveFile(raredo_log);

  RestartLogWithUpdateSummary(context);
  const std::string shown_path = platform::NativePath(export_path);
  context.WriteLog("Début Transfert : " + shown_path + " - " +
                   std::to_string(state.vehicle_counter) + " VO - " +
                   std::to_string(state.photo_counter) + " photos");
  SendExportFileAndLog(context, export_path, state.selected_portal + " - " + shown_path);
  context.window.SetAutoClose(true);
}

}  // namespace kalvex
