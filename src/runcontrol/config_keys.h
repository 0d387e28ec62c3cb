// Every section, key and default of Kalvex.ini in one place.
//
// The preset defaults are placeholders for the deployment: every preset host is the
// local machine, the passwords are visible placeholders, the customer number and the
// SitAutoPro account code are dummies to be replaced in the dealer's Kalvex.ini.
#pragma once

#include <string>
#include <vector>

#include "runcontrol/ini_file.h"

namespace kalvex::config {

inline constexpr const char* kPresetHost = "127.0.0.1";
inline constexpr const char* kPresetImageUser = "pixtrove@127.0.0.1";
inline constexpr const char* kPresetImagePassword = "CHANGEME";
inline constexpr const char* kPresetPortalUser = "kalvex@127.0.0.1";
inline constexpr const char* kPresetPortalPassword = "CHANGEME";
// SitAutoPro account code and AutoScout24 customer number: dummies.
inline constexpr const char* kPresetSitAutoProAccount = "SAP000";
inline constexpr const char* kPresetCustomerId = "0000000000";

struct Key {
  const char* section;
  const char* key;
  const char* default_value;
};

// [Options], read by the run driver.
inline constexpr Key kPathImages{"Options", "PathImages", "c:\\projects\\relmo\\images"};
inline constexpr Key kURLImages{"Options", "URLImages", "http://127.0.0.1/pixtrove"};
// Fewest vehicles a run may publish; "0": no minimum (see stock_guard.h).
inline constexpr Key kMinVehicules{"Options", "MinVehicules", "0"};
// Longest run in whole minutes; "0": no limit (see run_deadline.h).
inline constexpr Key kDureeMaxMinutes{"Options", "DureeMaxMinutes", "60"};

// [Pixtrove]: the image server.
inline constexpr Key kPixtroveServeurFTP{"Pixtrove", "ServeurFTP", kPresetHost};
inline constexpr Key kPixtroveUser{"Pixtrove", "User", kPresetImageUser};
inline constexpr Key kPixtrovePassWord{"Pixtrove", "PassWord", kPresetImagePassword};
inline constexpr Key kPixtrovePathFTP{"Pixtrove", "PathFTP", "www/pixtrove"};
// Data connections: "0" active mode, any other text passive mode (a switch).
inline constexpr Key kPixtrovePassif{"Pixtrove", "Passif", "0"};
// "0" plain FTP, "1" TLS with the certificate checked, "2" TLS without the check.
inline constexpr Key kPixtroveTLS{"Pixtrove", "TLS", "0"};

// Every key of [Options] and [Pixtrove], in the order of the file. A key added above
// joins this list too (a test compares it with the declarations of this header).
inline constexpr Key kGlobalKeys[] = {
    kPathImages,   kURLImages,        kMinVehicules,    kDureeMaxMinutes, kPixtroveServeurFTP,
    kPixtroveUser, kPixtrovePassWord, kPixtrovePathFTP, kPixtrovePassif,  kPixtroveTLS};

// Keys of a portal section ([PARUVENDU], [AUTOSCOUT24], ...), by key name.
enum class PortalKey {
  kServeurFTP,
  kUser,
  kPassWord,
  kPathFTP,
  kTestFTPPixtrove,
  kPassif,         // as [Pixtrove] Passif, for the portal drop
  kTLS,            // as [Pixtrove] TLS, for the portal drop
  kFlgInfoEquip,   // PARUVENDU
  kPathTemp,       // AUTOSCOUT24
  kIdClient,       // AUTOSCOUT24
  kFileResult,     // SITAUTOPRO
  kFileResultZip,  // SITAUTOPRO
};

const char* PortalKeyName(PortalKey key);
// Every portal-section key, in the order of the enumeration (which counts from 0 with
// no gaps).
std::vector<PortalKey> PortalKeys();
// The portal whose section alone holds the key (upper case), or nullptr for a key of
// every portal section.
const char* PortalKeyOwner(PortalKey key);
// Default of a portal-section key for a portal code (upper case).
std::string PortalDefault(const std::string& portal, PortalKey key);

inline std::string Read(const IniFile& ini, const Key& k) {
  return ini.ReadString(k.section, k.key, k.default_value);
}
inline std::string Read(const IniFile& ini, const std::string& portal, PortalKey key) {
  return ini.ReadString(portal, PortalKeyName(key), PortalDefault(portal, key));
}

}  // namespace kalvex::config
