#include "xml/single_byte_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// What iconv itself makes of `in`; none when it refuses.
std::optional<std::string> Iconv(const char* to, const char* from, std::string_view in) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  const bool ok = ::iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1);
  ::iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - dst_left);
  return out;
}

std::string Utf8(uint32_t cp) {
  const char le[4] = {static_cast<char>(cp), static_cast<char>(cp >> 8),
                      static_cast<char>(cp >> 16), 0};
  return *Iconv("UTF-8", "UTF-32LE", std::string_view(le, 4));
}

// Characters that are written as themselves in text and in attribute values.
bool WrittenAsIs(uint32_t cp) {
  if (cp < 0x20 || cp == '"' || cp == '&' || cp == '<' || cp == '>' || cp == '\'') return false;
  return cp < 0xD800 || (cp > 0xDFFF && cp < 0xFFFE) || cp > 0xFFFF;
}

TEST(SingleByteEncodingTest, SavesAndLoadsExactlyTheBytesOfIconv) {
  xmldom::UseSingleByteTables();
  ASSERT_TRUE(xmldom::HasSingleByteTable("ISO-8859-15"));
  EXPECT_TRUE(xmldom::HasSingleByteTable("iso-8859-15"));
  EXPECT_FALSE(xmldom::HasSingleByteTable("UTF-8"));
  EXPECT_FALSE(xmldom::HasSingleByteTable("windows-1252"));

  // Every character, in text and in an attribute, long enough to cross the chunks the
  // saver converts: a byte where iconv gives one, else a character reference.
  std::string text, expected;
  std::vector<uint32_t> characters;
  for (uint32_t cp = 0x20; cp < 0x10000; ++cp) characters.push_back(cp);
  for (uint32_t cp : {0x10000u, 0x1F697u, 0x10FFFDu}) characters.push_back(cp);
  for (uint32_t cp : characters) {
    if (!WrittenAsIs(cp)) continue;
    const std::string utf8 = Utf8(cp);
    text += utf8;
    const std::optional<std::string> byte = Iconv("ISO-8859-15", "UTF-8", utf8);
    expected += byte ? *byte : "&#" + std::to_string(cp) + ";";
  }
  TempDir dir;
  XMLCursorPtr doc = CreateXMLCursor();
  doc->LoadXML("<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><r a=\"" + text + "\">" + text +
               "</r>");
  doc->Save(dir / "all.xml");
  const std::string saved = ReadFile(dir / "all.xml");
  EXPECT_TRUE(saved == "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<r a=\"" + expected +
                           "\">" + expected + "</r>\n");

  // Every byte that may stand in text, many times over, read back as iconv reads it.
  std::string bytes;
  for (int b = 0x20; b < 0x100; ++b)
    if (b != '&' && b != '<') bytes += static_cast<char>(b);
  std::string body;
  for (int i = 0; i < 300; ++i) body += bytes;
  WriteFile(dir / "in.xml",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<r>" + body + "</r>\n");
  XMLCursorPtr in = CreateXMLCursor();
  in->Load(dir / "in.xml");
  const std::optional<std::string> decoded = Iconv("UTF-8", "ISO-8859-15", body);
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(in->GetValue(".") == *decoded);
}

}  // namespace
}  // namespace kalvex
