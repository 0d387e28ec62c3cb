#include "runcontrol/stock_guard.h"

#include <charconv>

#include "runcontrol/config_keys.h"

namespace kalvex {

int32_t ReadMinimumVehicles(const IniFile& ini) {
  const std::string value = config::Read(ini, config::kMinVehicules);
  if (value.empty()) return 0;
  int32_t minimum = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, minimum, 10);
  if (error != std::errc() || stop != end || minimum < 0 || value.front() == '-')
    throw Error("Valeur refusée dans Kalvex.ini, [Options] MinVehicules=" + value +
                " : un nombre entier de véhicules est attendu (0 ou clé absente : pas de "
                "minimum). Rien n'a été écrit ni envoyé.");
  return minimum;
}

void CheckStock(const std::string& document, int32_t count, int32_t minimum) {
  if (count >= minimum) return;
  throw StockBelowMinimum(
      "Stock insuffisant : le document " + document + " contient " + std::to_string(count) +
      " véhicule(s), moins que le minimum de " + std::to_string(minimum) +
      " fixé par [Options] MinVehicules dans Kalvex.ini. Export arrêté : aucun fichier du "
      "portail n'a été écrit ni envoyé, aucune photo transmise.");
}

}  // namespace kalvex
