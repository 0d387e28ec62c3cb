#include "ftp/ftp_security.h"

namespace kalvex {

std::optional<TlsMode> TlsModeFromSetting(std::string_view value) {
  if (value == "0") return TlsMode::kOff;
  if (value == "1") return TlsMode::kVerified;
  if (value == "2") return TlsMode::kUnverified;
  return std::nullopt;
}

std::string InvalidTlsSettingMessage(std::string_view section, std::string_view value) {
  return "Valeur refusée dans Kalvex.ini, [" + std::string(section) +
         "] TLS=" + std::string(value) +
         " : les valeurs possibles sont 0 (FTP sans chiffrement), 1 (TLS, certificat du "
         "serveur vérifié) et 2 (TLS, certificat du serveur non vérifié)";
}

}  // namespace kalvex
