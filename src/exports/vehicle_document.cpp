#include "exports/vehicle_document.h"

#include <vector>

#include "exports/export_texts.h"
#include "exports/text_join.h"

namespace kalvex {
namespace {

bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimXmlBlanks(std::string_view text) {
  while (!text.empty() && IsXmlBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "<path>[<field>=<identifier>]" for a decimal identifier, a query matching nothing
// for any other text, an error for an empty one.
std::string IdentifierQuery(std::string_view path, std::string_view field,
                            std::string_view identifier) {
  const std::string head = Join({path, "[", field, "="});
  const std::string_view number = TrimXmlBlanks(identifier);
  if (number.empty()) throw EmptyIdentifierError(export_text::EmptyIdentifier(Join({head, "]"})));
  if (!IsDecimalIdentifier(number)) return Join({path, "[false()]"});
  return Join({head, number, "]"});
}

}  // namespace

std::string VehicleDocumentName(std::string_view portal_name) {
  return Join({"ExpDatas", portal_name, ".xml"});
}

std::string VehicleDocumentPath(std::string_view working_folder, std::string_view portal_name) {
  return Join({working_folder, "\\", VehicleDocumentName(portal_name)});
}

std::string RecordSetName(std::string_view record) { return Join({record, "S"}); }

std::string RecordSetTagStart(std::string_view record) { return Join({"<", record, "S EOF=\""}); }

std::string RecordSetTagEnd(std::string_view record) {
  return Join({"RecordName=\"", record, "\">"});
}

bool IsDecimalIdentifier(std::string_view identifier) {
  std::string_view text = TrimXmlBlanks(identifier);
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  size_t digits = 0;
  size_t i = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  return digits > 0 && i == text.size();
}

std::string VehicleByKeyXPath(std::string_view key_field, std::string_view link_id) {
  return IdentifierQuery(kVehiclesXPath, key_field, link_id);
}

std::string PhotosOfVehicleXPath(std::string_view vehicle_id) {
  return IdentifierQuery(kPhotoLinksXPath, kLinkVehicleIdField, vehicle_id);
}

EquipmentLists ReadEquipmentLists(const IXMLCursor& vehicle, const EquipmentFields& fields) {
  return {vehicle.GetValue(fields.interior), vehicle.GetValue(fields.exterior),
          vehicle.GetValue(fields.safety), vehicle.GetValue(fields.extra)};
}

std::string EquipmentLabelXPath(std::string_view code) {
  return Join(
      {kEquipmentLabelsXPath, "[", kEquipmentCodeField, "=", XPathStringLiteral(code), "]"});
}

std::string XPathStringLiteral(std::string_view text) {
  if (text.find('\'') == std::string_view::npos) return Join({"'", text, "'"});
  if (text.find('"') == std::string_view::npos) return Join({"\"", text, "\""});
  // Runs without "'" go between "'", runs of "'" between '"'.
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    const bool quotes = text[start] == '\'';
    size_t end = start;
    while (end < text.size() && (text[end] == '\'') == quotes) ++end;
    const std::string_view run = text.substr(start, end - start);
    pieces.push_back(quotes ? Join({"\"", run, "\""}) : Join({"'", run, "'"}));
    start = end;
  }
  std::string literal = "concat(";
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) literal += ", ";
    literal += pieces[i];
  }
  return literal + ")";
}

const char* FillFirstEmptyPhotoSlot(IXMLCursor& vehicle, const PhotoSlots& slots,
                                    const std::string& address, size_t* known_filled) {
  if (vehicle.Eof()) return nullptr;
  size_t slot = known_filled != nullptr ? *known_filled : 0;
  while (slot < slots.size() && !vehicle.GetValue(slots[slot]).empty()) ++slot;
  const char* written = nullptr;
  if (slot < slots.size()) {
    written = slots[slot];
    vehicle.SetValue(written, address);
    ++slot;
  }
  if (known_filled != nullptr) *known_filled = slot;
  return written;
}

}  // namespace kalvex
