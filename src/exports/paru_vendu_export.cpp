#include "exports/paru_vendu_export.h"

#include <array>
#include <optional>

#include "exports/ad_text.h"
#include "exports/export_texts.h"
#include "platform/platform.h"
#include "runcontrol/run_folders.h"

namespace kalvex {

namespace {

// The tag renamings of the serialised document, in order.
constexpr std::array<TextReplacement, 14> kTagRenamings{{
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

}  // namespace

void ExportParuVendu(ExportRun& run) {
  run.CreateWorkingFolder();
  const bool expand_equipment = IniFile::IsOn(run.Setting(config::PortalKey::kFlgInfoEquip));
  run.ReadServerSettings();
  XMLCursorPtr document = run.LoadDocument();

  std::optional<EquipmentLabels> labels;
  if (expand_equipment) labels.emplace(*document);
  run.ForEachVehicle(*document, [&](IXMLCursor& vehicle) {
    // An empty make leaves the model text as it is (StripBrand ignores an empty brand).
    vehicle.SetValue("ModeleVersion", StripBrand(vehicle.GetValue("ModeleVersion"),
                                                 vehicle.GetValue("SousRubrique")));
    if (!labels) return;
    for (const char* field : {kEquipmentFields.interior, kEquipmentFields.exterior,
                              kEquipmentFields.safety, kEquipmentFields.extra})
      vehicle.SetValue(field, ExpandEquipment(*labels, vehicle.GetValue(field)));
  });
  run.RunPhotoLoop(*document, kVehicleKeyIdNVO, kPhotoSlotsParuVendu);
  run.RemoveLinkRecordSets(*document);

  run.ReloadResult(*document, ReplaceAllIgnoringCase(document->XML(), kTagRenamings),
                   export_text::kAfterReplacements);
  const std::string stamped_path = run.WorkingPath(run.Stamp("yyyymmddhhnn") + ".xml");
  const std::string export_path =
      run.WorkingPath("FerlaneDatasVO-" + run.Stamp("yyyymmdd") + ".xml");
  run.Save(*document, {stamped_path, export_path});

  const std::string code(run.portal().code);
  const std::string raredo_log = TempFolder() + "\\Raredo" + code + ".log";
  if (platform::FileExists(raredo_log)) platform::RemoveFile(raredo_log);

  run.RestartLog();
  run.LogUpdateSummary();
  const std::string shown_path = ExportRun::Shown(export_path);
  run.WriteLog(export_text::TransferBegins(shown_path, run.VehicleCount(), run.PhotoCount()));
  run.SendExportFile(export_path, export_text::PortalFileSent(code, shown_path));
  run.Finish();
}

}  // namespace kalvex
