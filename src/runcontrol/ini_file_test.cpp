#include "runcontrol/ini_file.h"

#include <gtest/gtest.h>

#include "runcontrol/config_keys.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::TempDir;
using testing::WriteFile;

class IniFileTest : public ::testing::Test {
 protected:
  IniFile Make(const std::string& text) {
    WriteFile(dir_ / "Kalvex.ini", text);
    return IniFile(dir_ / "Kalvex.ini");
  }
  TempDir dir_;
};

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCase) {
  IniFile ini = Make("[infopress]\nuser = dealer\n[Options]\nPATHIMAGES=/img\n");
  EXPECT_EQ(ini.ReadString("INFOPRESS", "User", "def"), "dealer");
  EXPECT_EQ(ini.ReadString("OPTIONS", "PathImages", "def"), "/img");
}

TEST_F(IniFileTest, ValuesAreTrimmedAndUnquoted) {
  IniFile ini = Make(
      "[Options]\n"
      "PathImages = \"C:\\photos vo\"  \n"
      "URLImages='http://x/'\n"
      "Half=\"abc\n"
      "Inner=a \"b\" c\n");
  EXPECT_EQ(ini.ReadString("Options", "PathImages", ""), "C:\\photos vo");
  EXPECT_EQ(ini.ReadString("Options", "URLImages", ""), "http://x/");
  EXPECT_EQ(ini.ReadString("Options", "Half", ""), "\"abc");
  EXPECT_EQ(ini.ReadString("Options", "Inner", ""), "a \"b\" c");
}

TEST_F(IniFileTest, EmptyValueIsNotTheDefault) {
  IniFile ini = Make("[PARUVENDU]\nPathFTP=\nTestFTPPixtrove=\n");
  EXPECT_EQ(ini.ReadString("PARUVENDU", "PathFTP", "def"), "");
  EXPECT_EQ(ini.ReadString("PARUVENDU", "Missing", "def"), "def");
  EXPECT_EQ(ini.ReadString("NOSECTION", "PathFTP", "def"), "def");
}

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  IniFile ini(dir_ / "absent.ini");
  EXPECT_FALSE(ini.Loaded());
  EXPECT_EQ(config::Read(ini, config::kPathImages), "c:\\projects\\relmo\\images");
  EXPECT_EQ(config::Read(ini, "PARUVENDU", config::PortalKey::kFlgInfoEquip), "0");
  EXPECT_EQ(config::Read(ini, "LEBONCOIN", config::PortalKey::kUser), "");
}

TEST_F(IniFileTest, LongValuesAreCut) {
  IniFile ini = Make("[Options]\nURLImages=" + std::string(3000, 'x') + "\n");
  EXPECT_EQ(ini.ReadString("Options", "URLImages", "").size(), 2047u);
}

TEST_F(IniFileTest, SwitchRule) {
  IniFile ini = Make("[P]\na=0\nb=1\nc=yes\nd=\ne= 0 \n");
  auto on = [&](const char* key) { return IniFile::IsOn(ini.ReadString("P", key, "0")); };
  EXPECT_FALSE(on("a"));
  EXPECT_TRUE(on("b"));
  EXPECT_TRUE(on("c"));
  EXPECT_TRUE(on("d"));   // present but empty: on
  EXPECT_FALSE(on("e"));  // trimmed to "0"
  EXPECT_FALSE(on("missing"));
}

TEST(ConfigKeysTest, PresetHostsAreLocal) {
  IniFile ini("");
  EXPECT_EQ(config::Read(ini, config::kPixtroveServeurFTP), "127.0.0.1");
  for (const char* portal :
       {"PARUVENDU", "AUTOSCOUT24", "SITAUTOPRO", "TOPANNONCES", "LEBONCOIN", "INFOPRESS"})
    EXPECT_EQ(config::Read(ini, portal, config::PortalKey::kServeurFTP), "127.0.0.1");
  EXPECT_EQ(config::Read(ini, "AUTOSCOUT24", config::PortalKey::kPathTemp), "\\Temp\\AS24");
  EXPECT_EQ(config::Read(ini, "SITAUTOPRO", config::PortalKey::kFileResult), "SAP000.xml");
}

}  // namespace
}  // namespace kalvex

namespace kalvex {
namespace {

TEST(IniFileEncodingTest, Windows1252ValuesBecomeUtf8) {
  testing::TempDir dir;
  testing::WriteFile(dir / "k.ini", "[Options]\nPathImages=d:\\photos\\\xE9t\xE9\n");
  IniFile ini(dir / "k.ini");
  EXPECT_EQ(ini.ReadString("Options", "PathImages", ""), "d:\\photos\\été");
}

}  // namespace
}  // namespace kalvex

namespace kalvex {
namespace {

// A dealer INI must read the same here as through the Windows profile functions.
TEST(IniFileDuplicatesTest, FirstSectionAndFirstKeyWin) {
  testing::TempDir dir;
  testing::WriteFile(dir / "k.ini",
                     "[Options]\nPathImages=/first\npathimages=/second\n"
                     "[OPTIONS]\nPathImages=/third\nURLImages=http://later/\n");
  IniFile ini(dir / "k.ini");
  EXPECT_EQ(ini.ReadString("Options", "PathImages", "def"), "/first");
  EXPECT_EQ(ini.ReadString("Options", "URLImages", "def"), "def");
}

TEST(IniFileEncodingTest, Utf8BehindUtf16MarkIsNotText) {
  testing::TempDir dir;
  // Even length, so that it decodes as UTF-16LE without an error: into no ASCII at all.
  testing::WriteFile(dir / "k.ini", "\xFF\xFE[Options]\nPathImages=/img\xC3\xA9\n");
  IniFile ini(dir / "k.ini");
  EXPECT_TRUE(ini.NotText());
  EXPECT_FALSE(ini.Loaded());
  EXPECT_EQ(ini.ReadString("Options", "PathImages", "def"), "def");
  // The same text saved as UTF-16 is read.
  testing::WriteFile(dir / "w.ini", std::string("\xFF\xFE[\0O\0]\0\n\0k\0=\0v\0", 16));
  IniFile wide(dir / "w.ini");
  EXPECT_FALSE(wide.NotText());
  EXPECT_EQ(wide.ReadString("o", "K", "def"), "v");
}

}  // namespace
}  // namespace kalvex
