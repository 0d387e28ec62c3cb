#include "exports/top_annonces_export.h"

#include <array>
#include <charconv>
#include <optional>
#include <utility>
#include <vector>

#include "exports/ad_text.h"
#include "exports/rewrite_shape.h"
#include "exports/text_join.h"
#include "exports/text_rewrite.h"
#include "platform/unicode_case.h"

namespace kalvex {

namespace {

// The fixed head of the result and archive names.
constexpr char kFilePrefix[] = "XXXXXX";

// The private fields run from the version through the extra list: none reaches the portal.
constexpr char kVersionField[] = "MODELEVERSION";

// "true" when the list holds the code, "false" when it does not, empty for an empty list.
std::string Flag(std::string_view list, std::string_view code) {
  return HasEquipment(list, code, kAnswerWords);
}

// The flag of `code`, or of `instead` when the list lacks `code`.
std::string FlagOr(std::string_view list, std::string_view code, std::string_view instead) {
  std::string flag = Flag(list, code);
  return flag == kAnswerWords.no ? Flag(list, instead) : flag;
}

std::string Boolean(bool value) { return std::string(value ? kAnswerWords.yes : kAnswerWords.no); }

// The warranty in months: "0" + the warranty without "MOIS", read as a decimal whole
// number. Nothing when it is not one ("1 an", "Garantie 6 mois", "6-12", too large):
// such a warranty matches neither 6 nor 12 months.
std::optional<long long> WarrantyMonths(std::string_view warranty) {
  const std::string number = "0" + StripMonths(warranty);
  long long months = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, months, 10);
  if (error != std::errc() || stop != end) return std::nullopt;
  return months;
}

// The free text of the ad and the equipment summary.
struct AdText {
  std::string text;     // "- Equipements Intérieurs : ..." " - Equipements Extérieurs : ..."
  std::string summary;  // the interior, exterior and safety labels, joined by ", "
};

AdText BuildAdText(const EquipmentLabels& labels, const EquipmentLists& lists,
                   const std::string& warranty) {
  AdText ad;
  const std::pair<const std::string&, std::string_view> groups[] = {
      {lists.interior, "- Equipements Intérieurs : "},
      {lists.exterior, " - Equipements Extérieurs : "},
      {lists.safety, " - Equipements Sécurité : "},
  };
  for (const auto& [list, heading] : groups) {
    const std::string expanded = ExpandEquipment(labels, list);
    if (expanded.empty()) continue;
    ad.text += Join({heading, expanded});
    ad.summary = ad.summary.empty() ? expanded : Join({ad.summary, ", ", expanded});
  }
  const std::string extra = ExpandExtraWithWarranty(labels, lists.extra, warranty);
  if (!extra.empty()) ad.text += Join({" - ", extra});
  return ad;
}

using Complement = std::pair<const char*, std::string>;  // type, value

// The complements of a vehicle, in the order the portal reads them.
std::array<Complement, 50> Complements(const IXMLCursor& vehicle, const EquipmentLists& lists,
                                       const std::string& summary, const std::string& warranty) {
  const std::string& in = lists.interior;
  const std::string& out = lists.exterior;
  const std::string& safe = lists.safety;
  const std::optional<long long> months = WarrantyMonths(warranty);
  const std::string energy = ReplaceIgnoringCase(vehicle.GetValue("Energie"), "é", "e");
  return {{
      {"VS", StripBrand(vehicle.GetValue(kVersionField), vehicle.GetValue("modele"))},
      {"S", summary},
      {"O1", FlagOr(in, "Clim", "ClimAuto")},
      {"O2", Flag(in, "VitreElect")},
      {"O3", FlagOr(safe, "AirbagCond", "AirbagLat")},
      {"O4", Boolean(UpperCaseAscii(vehicle.GetValue("BOITE_DE_VITESSE")) == "AUTOMATIQUE")},
      {"O5", Flag(safe, "Alarme")},
      {"O6", Flag(in, "DirAss")},
      {"O7", Flag(safe, "ABS")},
      {"O8", Flag(in, "RadCass")},
      {"O9", Flag(in, "RadCD")},
      {"NP", DoorCount(vehicle.GetValue("NB_PORTES"))},
      {"K", vehicle.GetValue("Kilometrage")},
      {"E1", ""},
      {"E2", Boolean(true)},
      {"CO", vehicle.GetValue("Couleur")},
      {"E", UpperCaseAscii(energy)},
      {"A", vehicle.GetValue("YearMEC")},
      {"B1", FlagOr(out, "Radrecul", "Radavant")},
      {"B2", ""},
      {"B3", ""},
      {"B4", Flag(in, "SCuir")},
      {"B5", Flag(in, "OrdiBord")},
      {"B6", Flag(in, "RegVit")},
      {"B7", Flag(in, "SElect")},
      {"B8", Flag(in, "GPS")},
      {"B9", Flag(in, "ToitOuvr")},
      {"S1", Flag(safe, "AntiDem")},
      {"S2", Flag(safe, "AntiBrou")},
      {"S3", Flag(safe, "AntiPat")},
      {"S4", ""},
      {"S5", ""},
      {"S6", ""},
      {"S7", ""},
      {"S8", Flag(safe, "ESP")},
      {"S9", Flag(safe, "LXen")},
      {"S10", ""},
      {"U1", Flag(out, "AttRem")},
      {"U2", ""},
      {"U3", ""},
      {"U4", ""},
      {"U5", Flag(out, "PorBag")},
      {"U6", ""},
      {"U7", Flag(out, "JantAll")},
      {"U8", Flag(in, "VitreTeint")},
      {"U9", Flag(out, "PMat")},
      {"U10", Flag(safe, "VerCent")},
      {"G1", Boolean(months == 6)},
      {"G2", Boolean(months == 12)},
      {"IM", vehicle.GetValue("FirstMEC")},
  }};
}

// A `complement` element with its `type` attribute, appended to the vehicle's first
// `complements` element (no text when the value is empty). A vehicle without one ends
// the run with the cursor's "TXMLCursor.AppendChild - EOF".
void AddComplement(IXMLCursor& complements, const char* type, const std::string& value) {
  complements.AppendChild("complement", value)->SetAttribute("type", type);
}

void EditVehicle(IXMLCursor& vehicle, const EquipmentLabels& labels) {
  XMLCursorPtr complements = vehicle.Select("complements");
  const EquipmentLists lists = ReadEquipmentLists(vehicle, kEquipmentFields);
  vehicle.SetValue("accroche_url",
                   Join({vehicle.GetValue("marque"), " ", vehicle.GetValue(kVersionField)}));
  const std::string warranty = vehicle.GetValue("Garantie");
  const AdText ad = BuildAdText(labels, lists, warranty);
  vehicle.SetValue("texte", ad.text);
  for (const auto& [type, value] : Complements(vehicle, lists, ad.summary, warranty))
    AddComplement(*complements, type, value);
}

const RewriteShape kShape{kVehicleKeyReference, kVersionField, kEquipmentFields.extra,
                          &kPhotoSlotsUpperCase};

// The body type in the portal's lower case (that letter case only), and the photo list.
std::vector<TextRewrite> PhotoListRewrite() {
  std::vector<TextRewrite> steps = {ExactCase("<Carrosserie>", "<carrosserie>"),
                                    ExactCase("</Carrosserie>", "</carrosserie>")};
  Append(steps, PhotoSlotsAsList(kPhotoSlotsUpperCase, "liste_photos", "photo"));
  return steps;
}

// The private span goes and the vehicle record set becomes the portal's `listepa`.
std::vector<TextRewrite> StructureRewrite() {
  std::vector<TextRewrite> steps = {SpanRemoval(kShape)};
  Append(steps, VehicleRecordSetAsRoot("listepa", "annonce"));
  return steps;
}

}  // namespace

void ExportTopAnnonces(ExportRun& run) {
  // Two readings of the clock: the names may differ by the second that ticked between.
  const std::string result_path =
      run.WorkingPath(Join({kFilePrefix, run.Stamp("yyyymmddhhnnss"), ".xml"}));
  const std::string archive_path =
      run.WorkingPath(Join({kFilePrefix, run.Stamp("yyyymmddhhnnss"), ".zip"}));
  const std::string dated_path =
      run.WorkingPath(Join({run.portal().name, "-", run.Stamp("yyyymmdd"), ".xml"}));
  run.CreateWorkingFolder();
  run.ReadServerSettings();  // the portal's fields are only shown: nothing is sent there
  XMLCursorPtr document = run.LoadDocument();
  run.CheckTopLevel(*document);

  const EquipmentLabels labels(*document);
  run.ForEachVehicle(*document, [&](IXMLCursor& vehicle) { EditVehicle(vehicle, labels); });
  run.RunPhotoLoop(*document, kVehicleKeyReference, kPhotoSlotsUpperCase);
  run.CheckRewriteShape(*document, kShape);
  run.RewriteAndSave(*document, dated_path, {PhotoListRewrite()}, StructureRewrite(),
                     {result_path, dated_path});
  run.ArchiveResultFile(archive_path, result_path);
  run.Finish();
}

}  // namespace kalvex
