// The ad text helpers and the photo-name helpers on any texts: up to four fields cut at
// byte 0x01. No character may be lost: UTF-8 in gives UTF-8 out.
#include <cstdlib>

#include "exports/ad_text.h"
#include "exports/photo_sync.h"
#include "ftp/ftp_transfer.h"
#include "fuzz_support.h"
#include "platform/code_page.h"
#include "xml/xml_cursor.h"

namespace {

const kalvex::EquipmentLabels& Labels() {
  static kalvex::XMLCursorPtr document = [] {
    kalvex::XMLCursorPtr cursor = kalvex::CreateXMLCursor();
    cursor->LoadXML(
        "<document><LiensEquipementsS>"
        "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
        "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
        "<LiensEquipements><AbbrEquip>GPS</AbbrEquip>"
        "<LibelleEquipement>GPS intégré</LibelleEquipement></LiensEquipements>"
        "<LiensEquipements><AbbrEquip>ÉTÉ</AbbrEquip>"
        "<LibelleEquipement>Pneus été</LibelleEquipement></LiensEquipements>"
        "</LiensEquipementsS></document>");
    return cursor;
  }();
  static kalvex::EquipmentLabels labels(*document);
  return labels;
}

void Check(bool utf8_in, const std::string& out) {
  if (utf8_in && !kalvex::IsValidUtf8(out)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvex;
  const std::vector<std::string> f = fuzz::Fields(fuzz::Bytes(data, size), 4);
  const bool utf8 =
      IsValidUtf8(f[0]) && IsValidUtf8(f[1]) && IsValidUtf8(f[2]) && IsValidUtf8(f[3]);
  Check(utf8, ReplaceSpans(f[0], f[1], f[2], f[3]));
  const std::string replaced = ReplaceIgnoringCase(f[0], f[1], f[2]);
  Check(utf8, replaced);
  if (f[1].empty() && replaced != f[0]) std::abort();
  const TextReplacement table[] = {{f[1], f[2]}, {f[2], f[3]}};
  Check(utf8, ReplaceAllIgnoringCase(f[0], table));
  Check(utf8, StripBrand(f[0], f[1]));
  if (f[1].empty() && StripBrand(f[0], f[1]) != f[0]) std::abort();
  Check(utf8, TrimBlanks(f[0]));
  std::string list = f[0];
  AppendListItem(list, f[1]);
  Check(utf8, list);
  Check(utf8, ExpandEquipment(Labels(), f[0]));
  const std::string flag = HasEquipment(f[0], f[1], kAnswerLetters);
  if (f[0].empty() ? !flag.empty() : (flag != "O" && flag != "N")) std::abort();
  Check(utf8, BodyTypeCode(f[0]));
  Check(utf8, StripMonths(f[0]));
  Check(utf8, DoorCount(f[0]));
  Check(utf8, ThumbnailName(f[0]));
  (void)StaysInsideFolder(f[0]);
  (void)RemoteFileName(f[0]);
  (void)LocalFileName(f[0]);
  return 0;
}
