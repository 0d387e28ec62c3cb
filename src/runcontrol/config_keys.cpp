#include "runcontrol/config_keys.h"

namespace kalvex::config {

const char* PortalKeyName(PortalKey key) {
  switch (key) {
    case PortalKey::kServeurFTP:
      return "ServeurFTP";
    case PortalKey::kUser:
      return "User";
    case PortalKey::kPassWord:
      return "PassWord";
    case PortalKey::kPathFTP:
      return "PathFTP";
    case PortalKey::kTestFTPPixtrove:
      return "TestFTPPixtrove";
    case PortalKey::kPassif:
      return "Passif";
    case PortalKey::kTLS:
      return "TLS";
    case PortalKey::kFlgInfoEquip:
      return "FlgInfoEquip";
    case PortalKey::kPathTemp:
      return "PathTemp";
    case PortalKey::kIdClient:
      return "idClient";
    case PortalKey::kFileResult:
      return "FileResult";
    case PortalKey::kFileResultZip:
      return "FileResultZip";
  }
  return "";
}

std::vector<PortalKey> PortalKeys() {
  std::vector<PortalKey> keys;
  // PortalKeyName names every enumerator and gives "" past the last one.
  for (int i = 0; *PortalKeyName(static_cast<PortalKey>(i)) != '\0'; ++i)
    keys.push_back(static_cast<PortalKey>(i));
  return keys;
}

const char* PortalKeyOwner(PortalKey key) {
  switch (key) {
    case PortalKey::kFlgInfoEquip:
      return "PARUVENDU";
    case PortalKey::kPathTemp:
    case PortalKey::kIdClient:
      return "AUTOSCOUT24";
    case PortalKey::kFileResult:
    case PortalKey::kFileResultZip:
      return "SITAUTOPRO";
    default:
      return nullptr;
  }
}

std::string PortalDefault(const std::string& portal, PortalKey key) {
  switch (key) {
    case PortalKey::kServeurFTP:
      return kPresetHost;
    case PortalKey::kUser:
      if (portal == "PARUVENDU") return "paruvendu@127.0.0.1";
      if (portal == "AUTOSCOUT24") return "autoscout24@127.0.0.1";
      if (portal == "SITAUTOPRO") return std::string(kPresetSitAutoProAccount) + "@127.0.0.1";
      if (portal == "TOPANNONCES") return "topannonces@127.0.0.1";
      return "";  // LEBONCOIN, INFOPRESS: no user means no upload
    case PortalKey::kPassWord:
      if (portal == "PARUVENDU") return "CHANGEME10";
      if (portal == "AUTOSCOUT24" || portal == "SITAUTOPRO") return "CHANGEME";
      if (portal == "TOPANNONCES") return "XXXX";
      return "";
    case PortalKey::kPathFTP:
      return "";
    case PortalKey::kTestFTPPixtrove:
    case PortalKey::kPassif:
    case PortalKey::kTLS:
      return "0";
    case PortalKey::kFlgInfoEquip:
      return "0";
    case PortalKey::kPathTemp:
      return "\\Temp\\AS24";
    case PortalKey::kIdClient:
      return kPresetCustomerId;
    case PortalKey::kFileResult:
      return std::string(kPresetSitAutoProAccount) + ".xml";
    case PortalKey::kFileResultZip:
      return std::string(kPresetSitAutoProAccount) + ".zip";
  }
  return "";
}

}  // namespace kalvex::config
