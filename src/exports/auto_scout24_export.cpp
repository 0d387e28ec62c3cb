#include "exports/auto_scout24_export.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "exports/ad_text.h"
#include "exports/export_texts.h"
#include "exports/photo_service.h"
#include "exports/vehicle_index.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/unicode_case.h"

namespace kalvex {

namespace {

constexpr int kFieldCount = 92;

// A field of the line by its number, and what fills it: a field of the vehicle, copied,
// or an equipment flag (HasEquipment, digits, of a code on one of the vehicle's lists).
struct Filled {
  int number;
  const char* name;
};
constexpr Filled kCopiedFields[] = {
    {2, "idNVO"},           {4, "IMarque"},         {5, "IModele"},    {8, "TypeBoiteVitesse"},
    {9, "TypeCarrosserie"}, {10, "Couleur"},        {13, "Energie"},   {15, "Kilometrage"},
    {16, "PrixDuBien"},     {18, "NbPlaces"},       {20, "Puissance"}, {82, "NChassis"},
    {90, "Puissance"},      {91, "Immatriculation"}};
constexpr Filled kInteriorFlags[] = {
    {32, "Clim"},   {33, "ClimAuto"}, {34, "SCuir"},  {35, "VitreElec"}, {36, "GPS"},
    {37, "SElect"}, {38, "ToitOuvr"}, {39, "SChauf"}, {40, "RadCD"},     {54, "OrdiBord"},
    {57, "DirAss"}, {58, "RadCass"},  {66, "RegVit"}, {67, "EquHandi"}};
// Field 86 asks for the empty code: "1" only for a list holding ";;".
constexpr Filled kExteriorFlags[] = {{11, "PMat"},   {51, "Tuning"},   {52, "JantAll"},
                                     {53, "PorBag"}, {55, "Radrecul"}, {64, "AttRem"},
                                     {86, ""}};
constexpr Filled kSafetyFlags[] = {{41, "ABS"},       {42, "AirbagCond"}, {43, "AirbagPass"},
                                   {44, "AirbagLat"}, {45, "LXen"},       {46, "VerCent"},
                                   {47, "Alarme"},    {48, "AntiDem"},    {49, "AntiPat"},
                                   {56, "AntiBrou"},  {65, "ESP"}};
// Filled by the exporter's own rules (AppendVehicleLine).
constexpr int kComputedFields[] = {1, 3, 6, 7, 14, 17, 29, 62, 73};

// Every field number is filled by one rule at most, within the line.
constexpr bool EachFieldOnce() {
  bool used[kFieldCount + 1] = {};
  auto take = [&used](int number) {
    if (number < 1 || number > kFieldCount || used[number]) return false;
    return used[number] = true;
  };
  for (int number : kComputedFields)
    if (!take(number)) return false;
  for (const auto& table :
       {std::span<const Filled>(kCopiedFields), std::span<const Filled>(kInteriorFlags),
        std::span<const Filled>(kExteriorFlags), std::span<const Filled>(kSafetyFlags)})
    for (const Filled& field : table)
      if (!take(field.number)) return false;
  return true;
}
static_assert(EachFieldOnce());

// What the fields of one vehicle are read from.
struct Vehicle {
  IXMLCursor& record;
  const std::string& customer_id;
  const std::string& id;
  bool has_photo;
  EquipmentLists lists;  // the extra list is not used
};

std::string FirstRegistration(const std::string& month, const std::string& year) {
  std::string date = month + "." + year;
  if (CodePointCount(date) < 7) date.insert(0, 1, '0');
  return date;
}

// Blanks skipped, then the decimal digits up to the first other character, in plain
// decimal ("5 portes" gives "5", "007" gives "7"); "0" when the text starts with none.
std::string WholeNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t end = i;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  while (i + 1 < end && text[i] == '0') ++i;
  return i < end ? std::string(text.substr(i, end - i)) : std::string("0");
}

// A value as the vehicle file can hold it: ";" would end the field and a line break
// the vehicle, so ";" becomes "," and CR, LF and TAB become a blank.
std::string FieldText(std::string value) {
  for (char& c : value) {
    if (c == ';') c = ',';
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return value;
}

void AppendVehicleLine(std::string& text, const Vehicle& vehicle) {
  std::array<std::string, kFieldCount> fields;
  auto field = [&fields](int number) -> std::string& { return fields[number - 1]; };
  const IXMLCursor& record = vehicle.record;
  field(1) = vehicle.customer_id;
  if (vehicle.has_photo) field(3) = vehicle.id + "_1.jpg";
  field(6) = StripBrand(record.GetValue("IVersion"), record.GetValue("IModele"));
  field(7) = std::string("Voiture d\u2019occasion");  // 0x92 in Windows-1252
  field(14) = FirstRegistration(record.GetValue("MoisMEC"), record.GetValue("AnneeMEC"));
  field(17) = WholeNumber(record.GetValue("NombreDePortes"));
  const std::string warranty = record.GetValue("Garantie");
  field(29) = WholeNumber(warranty);
  field(62) = std::string("0");
  field(73) = std::string(warranty.empty() ? "0" : "1");
  for (const Filled& copied : kCopiedFields) field(copied.number) = record.GetValue(copied.name);
  const std::pair<const std::string&, std::span<const Filled>> lists[] = {
      {vehicle.lists.interior, kInteriorFlags},
      {vehicle.lists.exterior, kExteriorFlags},
      {vehicle.lists.safety, kSafetyFlags}};
  for (const auto& [list, flags] : lists)
    for (const Filled& flag : flags)
      field(flag.number) = HasEquipment(list, flag.name, kAnswerDigits);
  for (std::string& value : fields) AppendListItem(text, FieldText(std::move(value)));
  text += "\r\n";
}

// [AUTOSCOUT24] idClient names the vehicle file and the archive and starts every line:
// it must be a plain file name that holds no field separator.
std::string CustomerId(const ExportRun& run, const std::string& staging_folder) {
  const std::string id = run.Setting(config::PortalKey::kIdClient);
  const bool control = std::any_of(id.begin(), id.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (!IsPlainFileName(id) || id.front() == '.' || control || id.find(';') != std::string::npos ||
      id.find("..") != std::string::npos)
    throw Error(export_text::CustomerIdRefused(
        run.portal().code, id, ExportRun::Shown(staging_folder + "\\" + id + ".csv"),
        ExportRun::Shown(run.WorkingPath(id + ".zip"))));
  return id;
}

}  // namespace

void ExportAutoScout24(ExportRun& run) {
  run.ReadServerSettings();
  const std::string staging_folder = run.SettingFolderToEmpty(config::PortalKey::kPathTemp);
  const std::string customer_id = CustomerId(run, staging_folder);
  // Loaded first: a document that cannot be read, or a stock below the minimum, leaves
  // the staging folder of the last delivery as it was.
  XMLCursorPtr document = run.LoadDocument();
  run.RenewFolderToEmpty(config::PortalKey::kPathTemp);

  const PhotoLinkIndex links(*document);
  PhotoService& photos = run.Photos();
  std::string text;
  run.ForEachVehicle(
      *document,
      [&](IXMLCursor& record) {
        const std::string id = record.GetValue(kVehicleKeyIdNVO);
        int32_t number = 0;
        for (const std::string& image : links.ImagesOf(id))
          photos.Stage(staging_folder, ++number, image + ".jpg", id);
        AppendVehicleLine(text, {record, customer_id, id, number > 0,
                                 ReadEquipmentLists(record, kEquipmentFieldsAutoScout24)});
      },
      false);

  // Written once, whole, or the run ends: an archive without its vehicle file must not
  // reach the portal.
  const std::string vehicle_file = staging_folder + "\\" + customer_id + ".csv";
  platform::ForceDirectories(staging_folder);
  platform::WriteFileAtomically(ExportRun::Shown(vehicle_file),
                                FromUtf8Transliterating(text, "windows-1252"));
  run.NoteOutputFile(vehicle_file);
  run.Save(*document, {run.WorkingPath(run.Stamp("yyyymmddhhnn") + ".xml")});

  const std::string archive_path = run.WorkingPath(customer_id + ".zip");
  const std::string shown_archive = ExportRun::Shown(archive_path);
  run.WriteLog(export_text::ZipFile(shown_archive));
  run.BuildArchive(archive_path, staging_folder + "\\*.*");
  run.WriteLog(export_text::TransferBegins(shown_archive));
  run.RestartLog();
  run.LogUpdateSummary();
  run.SendArchive(archive_path);
  run.Finish();
}

}  // namespace kalvex
