#include "exports/vehicle_index.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "exports/vehicle_document.h"

namespace kalvex {

namespace {

// The number an XPath comparison sees in a decimal text, or nothing for any other text.
std::optional<double> DecimalValue(const std::string& text) {
  if (!IsDecimalIdentifier(text)) return std::nullopt;
  double value = std::strtod(text.c_str(), nullptr);
  return value == 0 ? 0.0 : value;  // -0 and 0 are one key
}

}  // namespace

VehicleIndex::VehicleIndex(IXMLCursor& document, const std::string& vehicle_key)
    : vehicle_key_(vehicle_key), vehicles_(document.Select(kVehiclesXPath)) {
  for (int32_t i = 0; i < vehicles_->Count(); ++i) {
    vehicles_->MoveTo(i);
    const XMLCursorPtr keys = vehicles_->Select(vehicle_key);
    for (; keys && !keys->Eof(); keys->Next())
      if (std::optional<double> value = DecimalValue(keys->GetValue(".")))
        positions_.emplace(*value, i);  // the first vehicle in document order wins
  }
}

IXMLCursor* VehicleIndex::Find(const std::string& link_id) {
  std::optional<double> value = DecimalValue(link_id);
  if (!value) {
    // An empty identifier is refused exactly as the vehicle query refuses it (a decimal
    // number never is, so only other identifiers need the query built).
    VehicleByKeyXPath(vehicle_key_, link_id);
    return nullptr;
  }
  auto it = positions_.find(*value);
  if (it == positions_.end()) return nullptr;
  vehicles_->MoveTo(it->second);
  return vehicles_.get();
}

PhotoLinkIndex::PhotoLinkIndex(IXMLCursor& document) {
  for (XMLCursorPtr links = document.Select(kPhotoLinksXPath); !links->Eof(); links->Next()) {
    std::vector<double> numbers;
    for (XMLCursorPtr ids = links->Select(kLinkVehicleIdField); !ids->Eof(); ids->Next())
      if (std::optional<double> value = DecimalValue(ids->GetValue(".")))
        if (std::find(numbers.begin(), numbers.end(), *value) == numbers.end())
          numbers.push_back(*value);
    if (numbers.empty()) continue;
    const std::string image = links->GetValue(kPhotoNameField);
    for (double number : numbers) images_[number].push_back(image);
  }
}

const std::vector<std::string>& PhotoLinkIndex::ImagesOf(const std::string& vehicle_id) const {
  static const std::vector<std::string> kNone;
  std::optional<double> value = DecimalValue(vehicle_id);
  if (!value) {
    // An empty identifier is refused exactly as the photo query refuses it (a decimal
    // number never is, so only other identifiers need the query built).
    PhotosOfVehicleXPath(vehicle_id);
    return kNone;
  }
  auto it = images_.find(*value);
  return it == images_.end() ? kNone : it->second;
}

}  // namespace kalvex
