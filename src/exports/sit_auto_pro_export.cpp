#include "exports/sit_auto_pro_export.h"

#include <array>
#include <vector>

#include "exports/ad_text.h"
#include "exports/export_texts.h"
#include "exports/rewrite_shape.h"
#include "exports/text_rewrite.h"

namespace kalvex {

namespace {

constexpr char kClientCodeWithoutCoordinates[] = "XXXXXX";

// How an equipment element's value is formed.
enum class Rule {
  kFlag,     // "O"/"N"/"" of the code on the list
  kRadio,    // "Radio K7", "Radio CD", "Radio MP3" or the last flag tried
  kClimate,  // "Climatisation Automatique", "Climatisation" or ""
  kAlloy,    // "alliage" when the list holds the code, else ""
  kEmpty,
};

struct EquipmentElement {
  const char* name;
  Rule rule;
  std::string EquipmentLists::*list = nullptr;
  const char* code = nullptr;
};

// The equipment elements, in the order they are written.
constexpr std::array<EquipmentElement, 28> kEquipmentElements{{
    {"AUTO_RADIO", Rule::kRadio},
    {"CLIMATISATION", Rule::kClimate},
    {"DIRECTION_ASSISTEE", Rule::kFlag, &EquipmentLists::interior, "DirAss"},
    {"FERMETURE_CENTRALISEE", Rule::kFlag, &EquipmentLists::safety, "VerCent"},
    {"GPS", Rule::kEmpty},
    {"ORDINATEUR_DE_BORD", Rule::kFlag, &EquipmentLists::interior, "OrdiBord"},
    {"PORTE_BAGAGE", Rule::kFlag, &EquipmentLists::exterior, "PorBag"},
    {"RETROVISEURS_ELECTRIQUES", Rule::kFlag, &EquipmentLists::exterior, "RetrElec"},
    {"SIEGES_CHAUFFANTS", Rule::kFlag, &EquipmentLists::interior, "SChauf"},
    {"SIEGES_ELECTRIQUES", Rule::kFlag, &EquipmentLists::interior, "SElect"},
    {"TOIT_OUVRANT", Rule::kFlag, &EquipmentLists::interior, "ToitOuvr"},
    {"VITRES_ELECTRIQUES", Rule::kFlag, &EquipmentLists::interior, "VitreElect"},
    {"VITRES_SURTEINTEES", Rule::kFlag, &EquipmentLists::interior, "VitreTeint"},
    {"VOLANT_MULTIFONCTIONS", Rule::kFlag, &EquipmentLists::interior, "VMFonct"},
    {"ABS", Rule::kFlag, &EquipmentLists::safety, "ABS"},
    {"AIRBAGS_FRONTAUX", Rule::kFlag, &EquipmentLists::safety, "AirbagCond"},
    {"AIRBAGS_LATERAUX", Rule::kFlag, &EquipmentLists::safety, "AirbagLat"},
    {"ALARME", Rule::kFlag, &EquipmentLists::safety, "Alarme"},
    {"ANTI_DEMARRAGE", Rule::kFlag, &EquipmentLists::safety, "AntiDem"},
    {"ANTI_PATINAGE", Rule::kFlag, &EquipmentLists::safety, "AntiPat"},
    {"ESP", Rule::kFlag, &EquipmentLists::safety, "ESP"},
    {"PHARES_ANTIBROUILLARD", Rule::kFlag, &EquipmentLists::safety, "AntiBrou"},
    {"PROJECTEURS_XENON", Rule::kFlag, &EquipmentLists::safety, "LXen"},
    {"ATTELAGE", Rule::kFlag, &EquipmentLists::exterior, "AttRem"},
    {"JANTES", Rule::kAlloy, &EquipmentLists::exterior, "JantAll"},
    {"NON_FUMEUR", Rule::kFlag, &EquipmentLists::extra, "VNF"},
    {"REGULATEUR_DE_VITESSE", Rule::kFlag, &EquipmentLists::interior, "RegVit"},
    {"TUNING", Rule::kFlag, &EquipmentLists::exterior, "Tuning"},
}};

std::string Flag(const std::string& list, const char* code) {
  return HasEquipment(list, code, kAnswerLetters);
}

std::string EquipmentValue(const EquipmentElement& element, const EquipmentLists& lists) {
  switch (element.rule) {
    case Rule::kFlag:
      return Flag(lists.*element.list, element.code);
    case Rule::kRadio: {
      // The next radio is tried only while the value is still a flag.
      std::string value = Flag(lists.interior, "RadCass");
      if (value == "O") value = "Radio K7";
      if (value.size() <= 1) value = Flag(lists.interior, "RadCD");
      if (value == "O") value = "Radio CD";
      if (value.size() <= 1) value = Flag(lists.interior, "RadMP3");
      if (value == "O") value = "Radio MP3";
      return value;
    }
    case Rule::kClimate: {
      std::string value;
      if (Flag(lists.interior, "Clim") == "O") value = "Climatisation";
      if (Flag(lists.interior, "ClimAuto") == "O") value = "Climatisation Automatique";
      return value;
    }
    case Rule::kAlloy:
      return Flag(lists.*element.list, element.code) == "O" ? "alliage" : "";
    case Rule::kEmpty:
      return {};
  }
  return {};
}

void EditVehicle(IXMLCursor& vehicle) {
  vehicle.SetValue("CATEGORIE", BodyTypeCode(vehicle.GetValue("CATEGORIE")));
  vehicle.SetValue("GARANTIE", StripMonths(vehicle.GetValue("GARANTIE")));
  vehicle.SetValue("NB_PORTES", DoorCount(vehicle.GetValue("NB_PORTES")));
  const EquipmentLists lists = ReadEquipmentLists(vehicle, kEquipmentFieldsSitAutoPro);
  vehicle.SetValue("VERSION", StripBrand(vehicle.GetValue("VERSION"), vehicle.GetValue("MODELE")));
  for (const EquipmentElement& element : kEquipmentElements)
    vehicle.SetValue(element.name, EquipmentValue(element, lists));
}

// The private span runs from the interior list through the extra list.
const RewriteShape kShape{kVehicleKeyREFERENCE, kEquipmentFieldsSitAutoPro.interior,
                          kEquipmentFieldsSitAutoPro.extra, &kPhotoSlotsUpperCase};

// The structure rewrite: the coordinates record set opens CLIENT, the vehicle record set
// closes it, records become ANNONCE. A document without coordinates record set has its
// vehicle record set open CLIENT, so that the file is whole all the same.
std::vector<TextRewrite> StructureRewrite(const std::string& client_code, bool coordinates_set) {
  const std::string client = "<CLIENT CODE=\"" + EscapeXmlAttribute(client_code) + "\">";
  return {
      SpanRemoval(kShape),
      Spans(RecordSetTagStart(kCoordinatesRecord), RecordSetTagEnd(kCoordinatesRecord), client),
      IgnoringCase("</COORDONNEESS>", ""),
      Spans(RecordSetTagStart(kVehicleRecord), RecordSetTagEnd(kVehicleRecord),
            coordinates_set ? "" : client),
      IgnoringCase("</DataVOS>", "</CLIENT>"),
      Spans("<CODECLIENT>", "</CODECLIENT>", ""),
      IgnoringCase("<DataVO>", "<ANNONCE>"),
      IgnoringCase("</DataVO>", "</ANNONCE>"),
      IgnoringCase("<document>", ""),
      IgnoringCase("</document>", ""),
      IgnoringCase(kPlainDeclaration, kIso885915Declaration),
  };
}

// The coordinates record set, when there is one, must open CLIENT before the vehicles.
void CheckCoordinatesSet(IXMLCursor& document, const std::string& document_name) {
  CheckRecordSetShape(document, kCoordinatesRecord, document_name);
  const std::string set = RecordSetName(kCoordinatesRecord);
  if (!document.Select("/document/" + set + "[preceding-sibling::DataVOS]")->Eof())
    RefuseDocument(document_name, export_text::SetMustPrecede(set, "DataVOS"));
}

}  // namespace

void ExportSitAutoPro(ExportRun& run) {
  // The dated file's name is taken once: the result names must not be it.
  const std::string dated_name = "SitAutoPro-" + run.Stamp("yyyymmdd") + ".xml";
  const std::vector<std::string> names =
      run.SettingFileNames({config::PortalKey::kFileResult, config::PortalKey::kFileResultZip},
                           {{export_text::DatedCopyNamed(dated_name), dated_name}});
  const std::string& result_name = names[0];
  const std::string& archive_name = names[1];
  run.CreateWorkingFolder();
  run.ReadServerSettings();
  XMLCursorPtr document = run.LoadDocument();
  // COORDONNEESS opens the file's CLIENT element.
  run.CheckTopLevel(*document, {RecordSetName(kCoordinatesRecord)});
  run.ForEachVehicle(*document, EditVehicle);

  std::string client_code = kClientCodeWithoutCoordinates;
  XMLCursorPtr coordinates = document->Select(kCoordinatesXPath);
  if (!coordinates->Eof()) client_code = coordinates->GetValue(kClientCodeField);
  run.RunPhotoLoop(*document, kVehicleKeyREFERENCE, kPhotoSlotsUpperCase);

  run.CheckRewriteShape(*document, kShape);
  CheckCoordinatesSet(*document, run.DocumentName());
  const bool coordinates_set =
      !document->Select("/document/" + RecordSetName(kCoordinatesRecord))->Eof();

  const std::string dated_path = run.WorkingPath(dated_name);
  const std::string result_path = run.WorkingPath(result_name);
  run.RewriteAndSave(*document, dated_path,
                     {PhotoSlotsAsList(kPhotoSlotsUpperCase, "PHOTOS", "PHOTO")},
                     StructureRewrite(client_code, coordinates_set), {result_path, dated_path});

  const std::string archive_path = run.WorkingPath(archive_name);
  run.ArchiveResultFile(archive_path, result_path);
  run.LogUpdateSummary();
  run.SendArchive(archive_path);
  run.Finish();
}

}  // namespace kalvex
