#include "exports/classifieds_export.h"

#include <vector>

#include "exports/ad_text.h"
#include "exports/rewrite_shape.h"
#include "exports/text_join.h"
#include "exports/text_rewrite.h"
#include "platform/unicode_case.h"

namespace kalvex {

namespace {

constexpr size_t kTitleLimit = 50;
constexpr std::string_view kEllipsis = "...";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kParagraphEnd = "\r\n\r\n";

// The first `count` characters (code points) of UTF-8 text, never part of one: one per
// character of the 8-bit text the portals count in.
std::string_view FirstCharacters(std::string_view text, size_t count) {
  return text.substr(0, ByteOfCodePoint(text, count));
}

std::string Ref(std::string_view id) { return Join({" (ref:", id, ")"}); }

// One item of the description: its words, then the line ends that close it, left out
// when its labels are empty.
void AppendLabelsItem(std::string& text, std::string_view head, const std::string& labels,
                      std::string_view end) {
  if (!labels.empty()) text.append(Join({head, labels, end}));
}

// Titre, Texte, Telephone and Garantie of the vehicle the cursor stands on.
void WriteAd(IXMLCursor& vehicle, const EquipmentLabels& labels) {
  const EquipmentLists lists = ReadEquipmentLists(vehicle, kEquipmentFields);
  const std::string brand = vehicle.GetValue("InfoMarque");
  const std::string model = vehicle.GetValue("ModeleVersion");
  const std::string id = vehicle.GetValue(kVehicleKeyIdNVO);
  const std::string telephone = vehicle.GetValue("Telephone");
  const std::string warranty = TrimBlanks(vehicle.GetValue("Garantie"));

  vehicle.SetValue("Titre", ClassifiedTitle(brand, model, id));

  std::string text = Join({brand, " ", model, Ref(id), kParagraphEnd});
  text.append(Join({"Carrosserie : ", vehicle.GetValue("Carrosserie"), kLineEnd}));
  text.append(Join({"Puissance : ", vehicle.GetValue("Puissance"), " CV", kLineEnd}));
  text.append(Join({"Couleur : ", vehicle.GetValue("Couleur"), kLineEnd}));
  text.append(Join({"Boite : ", vehicle.GetValue("BoiteVitesse"), kLineEnd}));
  text.append(Join({"Mise en Circulation : ", vehicle.GetValue("MEC"), kParagraphEnd}));
  AppendLabelsItem(text, " - Equipements Intérieurs : ", ExpandEquipment(labels, lists.interior),
                   kParagraphEnd);
  AppendLabelsItem(text, " - Equipements Extérieurs : ", ExpandEquipment(labels, lists.exterior),
                   kParagraphEnd);
  AppendLabelsItem(text, " - Equipements Sécurité : ", ExpandEquipment(labels, lists.safety),
                   kParagraphEnd);
  AppendLabelsItem(text, " - ", ExpandExtraWithWarranty(labels, lists.extra, warranty), kLineEnd);
  text.append(Join(
      {kLineEnd, "Contactez ", vehicle.GetValue("Contact"), " au ", telephone, kParagraphEnd}));
  vehicle.SetValue("Texte", text);

  std::string digits = telephone;
  std::erase(digits, '.');
  vehicle.SetValue("Telephone", digits);
  vehicle.SetValue("Garantie", warranty);
}

const RewriteShape kShape{kVehicleKeyIdNVO, kEquipmentFields.interior, kEquipmentFields.extra,
                          nullptr};

// The equipment span goes, then the vehicle record set becomes the root `annonces`.
std::vector<TextRewrite> AdFileRewrites() {
  std::vector<TextRewrite> steps{SpanRemoval(kShape)};
  Append(steps, VehicleRecordSetAsRoot("annonces", "annonce"));
  return steps;
}

}  // namespace

std::string ClassifiedTitle(std::string_view brand, std::string_view model, std::string_view id) {
  const std::string head = Join({brand, " ", model});
  const std::string ref = Ref(id);
  const size_t ref_length = CodePointCount(ref);
  if (CodePointCount(head) + ref_length <= kTitleLimit) return head + ref;
  const size_t kept = kTitleLimit - kEllipsis.size();
  if (ref_length <= kept) return Join({FirstCharacters(head, kept - ref_length), kEllipsis, ref});
  // A ref this long cannot stay whole within the limit.
  return Join({FirstCharacters(head + ref, kept), kEllipsis});
}

void ExportClassifieds(ExportRun& run) {
  const std::string name(run.portal().name);
  const std::string result_path = run.WorkingPath(name + "_" + run.Stamp("yyyymmdd") + ".xml");
  const std::string archive_path = run.WorkingPath(name + "_" + run.Stamp("yyyymmdd") + ".zip");
  run.CreateWorkingFolder();
  run.ReadServerSettings();
  XMLCursorPtr document = run.LoadDocument();
  CheckTopLevel(*document, {}, ExportRun::Shown(run.DocumentPath()));
  // Nothing the loops below do moves the span, so a document the rewrite cannot take
  // is refused before any photo is sent.
  CheckRewriteShape(*document, kShape, ExportRun::Shown(run.DocumentPath()));

  const EquipmentLabels labels(*document);
  run.ForEachVehicle(*document, [&labels](IXMLCursor& vehicle) { WriteAd(vehicle, labels); });
  run.RunPhotoLoop(*document, kVehicleKeyIdNVO, kPhotoSlotsLeBonCoin);
  // The result file is the one file kept along the way.
  run.RewriteAndSave(*document, result_path, {}, AdFileRewrites(), {result_path});
  run.ArchiveResultFile(archive_path, result_path);
  run.LogUpdateSummary();
  // No portal user: the archive stays in the working folder.
  if (!run.Setting(config::PortalKey::kUser).empty())
    run.SendExportFile(archive_path, run.ArchiveSuffix(archive_path));
  run.Finish();
}

}  // namespace kalvex
