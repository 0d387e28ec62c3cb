#include "runcontrol/stock_guard.h"

#include <charconv>

#include "runcontrol/config_keys.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

int32_t ReadMinimumVehicles(const IniFile& ini) {
  const std::string value = config::Read(ini, config::kMinVehicules);
  if (value.empty()) return 0;
  int32_t minimum = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, minimum, 10);
  if (error != std::errc() || stop != end || minimum < 0 || value.front() == '-')
    throw Error(runcontrol_text::MinimumRefused(value));
  return minimum;
}

void CheckStock(const std::string& document, int32_t count, int32_t minimum) {
  if (count >= minimum) return;
  throw StockBelowMinimum(runcontrol_text::StockBelowMinimum(document, count, minimum));
}

}  // namespace kalvex
