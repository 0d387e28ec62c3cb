#include "xml/xsl_proc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using kalvex::testing::TempDir;
using kalvex::testing::WriteFile;

const char kHead[] =
    "<?xml version=\"1.0\"?>\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n";
const char kTail[] = "</xsl:stylesheet>\n";

std::string Sheet(const std::string& body) { return kHead + body + kTail; }

// Lists the names of the records it is given, one per line.
const char kNamesBody[] =
    "<xsl:output method=\"text\"/>\n"
    "<xsl:template match=\"/\"><xsl:for-each select=\"//DataVO\">"
    "<xsl:value-of select=\"Marque\"/><xsl:text>&#10;</xsl:text></xsl:for-each>"
    "</xsl:template>\n";

const char kVehicles[] =
    "<document><DataVOS><DataVO><Marque>RENAULT</Marque></DataVO>"
    "<DataVO><Marque>PEUGEOT</Marque></DataVO></DataVOS></document>";

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

XMLCursorPtr Loaded(const std::string& text) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->LoadXML(text);
  return cursor;
}

// The tool's "\"-separated form of a native absolute path.
std::string ToolForm(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// ---------------------------------------------------------------------------------------

TEST(XSLProcProcess, TransformsTheWholeDocumentFromTheRoot) {
  XSLProcPtr proc = CreateXSLProc();
  proc->LoadXML(Sheet(kNamesBody));
  XMLCursorPtr doc = Loaded(kVehicles);
  EXPECT_EQ(proc->Process(doc), "RENAULT\nPEUGEOT\n");
  // A child of the root is not below it: the whole document again.
  EXPECT_EQ(proc->Process(doc->Select("DataVOS")), "RENAULT\nPEUGEOT\n");
}

TEST(XSLProcProcess, NodeBelowTheRootIsTransformedAlone) {
  XSLProcPtr proc = CreateXSLProc();
  proc->LoadXML(Sheet(kNamesBody));
  XMLCursorPtr second = Loaded(kVehicles)->Select("/document/DataVOS/DataVO[2]");
  EXPECT_EQ(proc->Process(second), "PEUGEOT\n");
}

TEST(XSLProcProcess, NoCursorGivesEmptyText) {
  XSLProcPtr proc = CreateXSLProc();
  proc->LoadXML(Sheet(kNamesBody));
  EXPECT_EQ(proc->Process(nullptr), "");
}

TEST(XSLProcProcess, RemovesTheFirstUtf16ContentTypeMeta) {
  const std::string meta =
      "<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-16\">";
  XSLProcPtr proc = CreateXSLProc();
  proc->LoadXML(
      Sheet("<xsl:output method=\"text\"/><xsl:template match=\"/\">"
            "<xsl:text>a" +
            std::string("&lt;META http-equiv=\"Content-Type\" "
                        "content=\"text/html; charset=UTF-16\"&gt;") +
            "b" +
            "&lt;META http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=UTF-16\"&gt;</xsl:text></xsl:template>"));
  EXPECT_EQ(proc->Process(Loaded("<r/>")), "ab" + meta);
}

TEST(XSLProcProcess, FailuresNameTheStylesheetFile) {
  TempDir dir;
  const std::string name = dir / "stop.xsl";
  WriteFile(name, Sheet("<xsl:template match=\"/\"><xsl:message terminate=\"yes\">halt here"
                        "</xsl:message></xsl:template>"));
  XSLProcPtr proc = CreateXSLProc();
  proc->Load(name);
  EXPECT_EQ(MessageOf([&] { proc->Process(Loaded("<r/>")); }),
            "TXSLProc.Process - XSL processing - " + name + "\r\nhalt here");
}

TEST(XSLProcProcess, WithoutStylesheetLoadsTheRememberedFile) {
  XSLProcPtr never_loaded = CreateXSLProc();
  EXPECT_EQ(MessageOf([&] { never_loaded->Process(Loaded("<r/>")); }),
            "TXSLProc.Process - XSL processing - \r\nTXSLProc.Load - \r\nError 1549 on line 0, "
            "char 0 in \"\"\r\n\r\n" +
                platform::SystemErrorText(ENOENT));
}

// ---------------------------------------------------------------------------------------

TEST(XSLProcLoadXML, MalformedAndNonStylesheetTexts) {
  XSLProcPtr proc = CreateXSLProc();
  EXPECT_EQ(MessageOf([&] { proc->LoadXML("<a>\n<b></a>"); }),
            "TXSLProc.LoadXML - Error 76 on line 2, char 8 in \"\"\r\n<b></a>\r\n"
            "Opening and ending tag mismatch: b line 2 and a");
  EXPECT_THROW(proc->LoadXML("<a>\n<b></a>"), XMLParseException);
  EXPECT_EQ(MessageOf([&] { proc->LoadXML("<a/>"); }),
            "TXSLProc.LoadXML - compilation error: element a\r\nxsltParseStylesheetProcess : "
            "document is not a stylesheet");
  EXPECT_EQ(MessageOf([&] { proc->LoadXML(Sheet("<xsl:bogus/>")); }),
            "TXSLProc.LoadXML - compilation error: element bogus\r\nxsltParseStylesheetTop: "
            "unknown bogus element");
}

// ---------------------------------------------------------------------------------------

class XSLProcFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "parts");
    WriteFile(dir_ / "parts/names.xsl",
              Sheet("<xsl:include href=\"common.xsl\"/>\n"
                    "<xsl:template match=\"DataVO\"><xsl:value-of select=\"Marque\"/>"
                    "<xsl:value-of select=\"$sep\"/></xsl:template>\n"));
    WriteFile(dir_ / "parts/common.xsl", Sheet("<xsl:variable name=\"sep\" select=\"';'\"/>\n"));
    WriteFile(dir_ / "main.xsl", Sheet("<xsl:import href=\"parts/names.xsl\"/>\n"
                                       "<xsl:output method=\"text\"/>\n"));
  }
  void TearDown() override { SetXSLUpToDateChecking(true); }

  TempDir dir_;
};

TEST_F(XSLProcFiles, LoadCompilesWithImportsAndRecordsEveryFile) {
  TXSLProc proc;
  proc.Load(dir_ / "main.xsl");
  ASSERT_EQ(proc.files().size(), 3u);
  EXPECT_EQ(proc.files()[0].first, dir_ / "main.xsl");
  EXPECT_EQ(proc.files()[1].first, ToolForm(dir_ / "parts/names.xsl"));
  EXPECT_EQ(proc.files()[2].first, ToolForm(dir_ / "parts/common.xsl"));
  EXPECT_EQ(proc.Process(Loaded(kVehicles)), "RENAULT;PEUGEOT;");
}

TEST_F(XSLProcFiles, IsUpToDateFollowsEveryFilesWriteTime) {
  TXSLProc proc;
  proc.Load(dir_ / "main.xsl");
  EXPECT_TRUE(proc.IsUpToDate());
  const std::string common = dir_ / "parts/common.xsl";
  std::filesystem::last_write_time(
      common, std::filesystem::last_write_time(common) + std::chrono::seconds(10));
  EXPECT_FALSE(proc.IsUpToDate());
  SetXSLUpToDateChecking(false);
  EXPECT_TRUE(proc.IsUpToDate());
  SetXSLUpToDateChecking(true);
  std::filesystem::remove(common);
  EXPECT_FALSE(proc.IsUpToDate());
}

TEST_F(XSLProcFiles, MissingFilesAndBadReferences) {
  XSLProcPtr proc = CreateXSLProc();
  const std::string missing = dir_ / "absent.xsl";
  EXPECT_EQ(MessageOf([&] { proc->Load(missing); }),
            "TXSLProc.Load - " + missing + "\r\nError 1549 on line 0, char 0 in \"" + missing +
                "\"\r\n\r\n" + platform::SystemErrorText(ENOENT));

  std::filesystem::remove(dir_ / "parts/common.xsl");
  const std::string main = dir_ / "main.xsl";
  const std::string names = ToolForm(dir_ / "parts/names.xsl");
  const std::string common = ToolForm(dir_ / "parts/common.xsl");
  EXPECT_EQ(MessageOf([&] { proc->Load(main); }),
            "TXSLProc.Load - " + main + "\r\nTXSLProc.Load.ProcessImports - XSL processing - " +
                names + "\r\nTXSLProc.Load.ProcessImports - XSL processing - " + common +
                "\r\nError 1549 on line 0, char 0 in \"" + common + "\"\r\n\r\n" +
                platform::SystemErrorText(ENOENT));

  WriteFile(dir_ / "nohref.xsl", Sheet("<xsl:import/>"));
  EXPECT_EQ(MessageOf([&] { proc->Load(dir_ / "nohref.xsl"); }),
            "TXSLProc.Load - " + (dir_ / "nohref.xsl") +
                "\r\nhref attribute missing on xsl:import/xsl:include");
  WriteFile(dir_ / "emptyhref.xsl", Sheet("<xsl:include href=\"\"/>"));
  EXPECT_EQ(MessageOf([&] { proc->Load(dir_ / "emptyhref.xsl"); }),
            "TXSLProc.Load - " + (dir_ / "emptyhref.xsl") +
                "\r\nhref attribute empty on xsl:import / xsl:include");
}

}  // namespace
}  // namespace kalvex
