// The guard against publishing an empty stock: a back-office fault that leaves a vehicle
// data document with no vehicles would, through a full export, remove every ad of the
// dealer from the portal. [Options] MinVehicules (default "0": off) sets the fewest
// vehicles a run may publish; a document with fewer ends the run right after it is
// loaded, before any portal file is written or anything is sent.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"
#include "runcontrol/ini_file.h"

namespace kalvex {

// A stock below the minimum: the run ends with this error (exit code 4).
class StockBelowMinimum : public Error {
 public:
  using Error::Error;
};

// [Options] MinVehicules as a number: a whole number from 0 up, blanks around it
// allowed; an empty value is 0 (off). Anything else ends the run with an Error naming
// the key and the value.
int32_t ReadMinimumVehicles(const IniFile& ini);

// Throws StockBelowMinimum, naming the document, the count and the minimum, when count
// is below minimum.
void CheckStock(const std::string& document, int32_t count, int32_t minimum);

}  // namespace kalvex
