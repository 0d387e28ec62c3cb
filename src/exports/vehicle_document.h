// The vehicle data document "ExpDatas<Portal>.xml" that the back office leaves in the
// working folder: its record sets, the XPath expressions the exporters walk it with, the
// identifier queries and the per-portal field names.
//
// Layout: root `document` holding record sets; a record set is named after its record
// element with "S" appended (`DataVOS` holds `DataVO` records); a record's child
// elements are its fields. Identifiers are decimal numbers compared as numbers; an
// identifier query never splices foreign text into the XPath expression.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "xml/xml_cursor.h"

namespace kalvex {

// An identifier query asked for an empty identifier: the export cannot go on.
class EmptyIdentifierError : public XMLException {
 public:
  using XMLException::XMLException;
};

// File name of a portal's document ("ExpDatas" + portal name + ".xml") and its path in
// the working folder (both in the tool's "\"-separated form).
std::string VehicleDocumentName(std::string_view portal_name);
std::string VehicleDocumentPath(std::string_view working_folder, std::string_view portal_name);

// Record elements and the record sets that hold them.
inline constexpr char kVehicleRecord[] = "DataVO";
inline constexpr char kPhotoLinkRecord[] = "LiensImages";
inline constexpr char kEquipmentLabelRecord[] = "LiensEquipements";
inline constexpr char kCoordinatesRecord[] = "COORDONNEES";
// The record-set element of a record element: record + "S".
std::string RecordSetName(std::string_view record);
// In the serialised text, a record-set start tag runs from RecordSetTagStart
// ("<DataVOS EOF=\"") to RecordSetTagEnd ("RecordName=\"DataVO\">").
std::string RecordSetTagStart(std::string_view record);
std::string RecordSetTagEnd(std::string_view record);

// Absolute XPath expressions, evaluated from any cursor of the document.
inline constexpr char kVehiclesXPath[] = "/document/DataVOS/DataVO";
inline constexpr char kPhotoLinksXPath[] = "/document/LiensImagesS/LiensImages";
inline constexpr char kEquipmentLabelsXPath[] = "/document/LiensEquipementsS/LiensEquipements";
inline constexpr char kCoordinatesXPath[] = "/document/COORDONNEESS/COORDONNEES";
// The elements removed, with their content, before a portal file is written.
inline constexpr char kPhotoLinkSetXPath[] = "/document/LiensImagesS";
inline constexpr char kEquipmentLabelSetXPath[] = "/document/LiensEquipementsS";
inline constexpr char kAliasesXPath[] = "/document/Aliases";
inline constexpr std::array<const char*, 3> kRemovedBeforeOutputXPaths = {
    kPhotoLinkSetXPath, kEquipmentLabelSetXPath, kAliasesXPath};

// Fields of the photo links, the equipment labels and the coordinates.
inline constexpr char kLinkVehicleIdField[] = "idNVO";
inline constexpr char kPhotoNameField[] = "NomImage";
inline constexpr char kEquipmentCodeField[] = "AbbrEquip";
inline constexpr char kEquipmentLabelField[] = "LibelleEquipement";
inline constexpr char kClientCodeField[] = "CODECLIENT";

// Vehicle key fields: `idNVO` (ParuVendu, AutoScout24, LeBonCoin, InfoPress),
// `REFERENCE` (SitAutoPro) and `reference` (TopAnnonces).
inline constexpr char kVehicleKeyIdNVO[] = "idNVO";
inline constexpr char kVehicleKeyREFERENCE[] = "REFERENCE";
inline constexpr char kVehicleKeyReference[] = "reference";

// True for a decimal number as an XPath expression reads one (digits with an optional
// fraction and an optional leading "-"), blanks around it allowed.
bool IsDecimalIdentifier(std::string_view identifier);

// The vehicle records whose key field equals the photo link's identifier, in document
// order: "/document/DataVOS/DataVO[" + key field + "=" + identifier + "]".
// An identifier that is not a decimal number gives a query that matches no record;
// an empty (or blank) identifier raises EmptyIdentifierError.
std::string VehicleByKeyXPath(std::string_view key_field, std::string_view link_id);
// The photo links of one vehicle, in document order:
// "/document/LiensImagesS/LiensImages[idNVO=" + identifier + "]", same rules.
std::string PhotosOfVehicleXPath(std::string_view vehicle_id);
// The label records of an equipment code, which is compared as given (callers pass it in
// ASCII upper case): "/document/LiensEquipementsS/LiensEquipements[AbbrEquip='CODE']".
// A code holding quotes is written as a literal that still compares equal to it.
std::string EquipmentLabelXPath(std::string_view code);

// An XPath 1.0 expression whose string value is exactly `text`: '...' when it holds no
// "'", "..." when it holds no '"', else concat() of pieces quoted either way.
std::string XPathStringLiteral(std::string_view text);

// The four equipment code-list fields of a vehicle record.
struct EquipmentFields {
  const char* interior;
  const char* exterior;
  const char* safety;
  const char* extra;
};
// ParuVendu, TopAnnonces, LeBonCoin and InfoPress.
inline constexpr EquipmentFields kEquipmentFields{"EqutInterieur", "EqutExterieur", "EqutSecurite",
                                                  "InfoComplement"};
inline constexpr EquipmentFields kEquipmentFieldsSitAutoPro{"EQUTINTERIEUR", "EQUTEXTERIEUR",
                                                            "EQUTSECURITE", "INFOCOMPLEMENT"};
// AutoScout24 (its extra list is not used).
inline constexpr EquipmentFields kEquipmentFieldsAutoScout24{
    "InfoEquiInterieur", "InfoEquiExterieur", "InfoEquiSecurite", "InfoComplement"};

// The four equipment code lists of a vehicle record, as its fields hold them.
struct EquipmentLists {
  std::string interior;
  std::string exterior;
  std::string safety;
  std::string extra;
};
// The lists of the vehicle record the cursor stands on, read from `fields`.
EquipmentLists ReadEquipmentLists(const IXMLCursor& vehicle, const EquipmentFields& fields);

// The six photo-slot fields of a vehicle record, in slot order.
using PhotoSlots = std::array<const char*, 6>;
inline constexpr PhotoSlots kPhotoSlotsParuVendu{"NomPhoto1", "NomPhoto2", "NomPhoto3",
                                                 "NomPhoto4", "NomPhoto5", "NomPhoto6"};
// SitAutoPro and TopAnnonces.
inline constexpr PhotoSlots kPhotoSlotsUpperCase{"NOMPHOTO1", "NOMPHOTO2", "NOMPHOTO3",
                                                 "NOMPHOTO4", "NOMPHOTO5", "NOMPHOTO6"};
// LeBonCoin and InfoPress.
inline constexpr PhotoSlots kPhotoSlotsLeBonCoin{"photo1", "photo2", "photo3",
                                                 "photo4", "photo5", "photo6"};

// Writes `address` into the first empty slot (an absent slot counts as empty, and is
// appended at the end of the record) of the vehicle the cursor stands on. Gives the slot
// written, or nullptr when all six are filled or the cursor stands on no record.
// With `known_filled`, the slots before *known_filled are taken as filled without being
// read, and *known_filled becomes the count of slots now known to be filled: a loop
// over a vehicle's photos reads each slot once.
const char* FillFirstEmptyPhotoSlot(IXMLCursor& vehicle, const PhotoSlots& slots,
                                    const std::string& address, size_t* known_filled = nullptr);

}  // namespace kalvex
