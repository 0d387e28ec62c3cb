// The vehicles of a document by the number in their key field, and the photo links by
// the number of their vehicle, each read once, so that finding the vehicle of a link or
// the links of a vehicle costs a hash lookup instead of a query over the whole stock.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "xml/xml_cursor.h"

namespace kalvex {

// Answers as the query VehicleByKeyXPath(key, id) would: numbers compared as numbers, the
// first vehicle in document order, no vehicle for an identifier that is not a decimal
// number, EmptyIdentifierError for an empty one. Photo slots written through the vehicle
// given back do not change the answers (keys are not edited).
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

// The photo links of a document grouped by the number in their idNVO, in document
// order. Answers as the query PhotosOfVehicleXPath(id) would: numbers compared as
// numbers (a link with two idNVO elements belongs to both numbers), no link for an
// identifier that is not a decimal number, EmptyIdentifierError for an empty one.
class PhotoLinkIndex {
 public:
  explicit PhotoLinkIndex(IXMLCursor& document);
  // The NomImage of each link of the vehicle, in document order.
  const std::vector<std::string>& ImagesOf(const std::string& vehicle_id) const;

 private:
  std::unordered_map<double, std::vector<std::string>> images_;
};

}  // namespace kalvex
