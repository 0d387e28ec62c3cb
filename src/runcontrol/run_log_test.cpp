#include "runcontrol/run_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using testing::FakeClock;
using testing::PathExists;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;

class RunLogTest : public ::testing::Test {
 protected:
  RunLogTest() : windir_("Windir", dir_.path().c_str()), log_(state_, window_, clock_) {}
  std::string LogFile(const std::string& portal) {
    return dir_.path() + "/TEMP/DadozoVavire" + portal + ".log";
  }
  TempDir dir_;
  ScopedEnv windir_;
  RunState state_;
  WindowModel window_;
  FakeClock clock_;
  RunLog log_;
};

TEST_F(RunLogTest, RestartCreatesEmptyFileAndEchoesArrow) {
  state_.selected_portal = "PARUVENDU";
  log_.WriteLog("");
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), "");
  ASSERT_EQ(window_.MemoLines().size(), 1u);
  EXPECT_EQ(window_.MemoLines()[0], "-> ");
}

TEST_F(RunLogTest, ALinkInPlaceOfTheLogIsRefusedAndItsTargetLeftAlone) {
  state_.selected_portal = "PARUVENDU";
  log_.WriteLog("");
  const std::string target = dir_ / "precious.txt";
  testing::WriteFile(target, "keep me");
  std::filesystem::remove(LogFile("PARUVENDU"));
  testing::MakeSymbolicLink(target, LogFile("PARUVENDU"));
  const std::string refused = "lien symbolique refusé";
  // Neither a restart (truncation) nor a line (append) goes through the link.
  for (const std::string& text : {std::string(), std::string("line")}) {
    try {
      log_.WriteLog(text);
      FAIL() << "no error";
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find(refused), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("DadozoVavirePARUVENDU.log"), std::string::npos);
    }
  }
  EXPECT_EQ(ReadFile(target), "keep me");
  // A dangling link does not get its target created.
  const std::string nowhere = dir_ / "created-through-link.txt";
  std::filesystem::remove(LogFile("PARUVENDU"));
  testing::MakeSymbolicLink(nowhere, LogFile("PARUVENDU"));
  EXPECT_THROW(log_.WriteLog("line"), IoError);
  EXPECT_THROW(log_.WriteLog(""), IoError);
  EXPECT_FALSE(PathExists(nowhere));
}

TEST_F(RunLogTest, LinesAreStampedWithCrLf) {
  state_.selected_portal = "PARUVENDU";
  log_.WriteLog("");
  log_.WriteLog("A");
  log_.WriteLog("Nb Images Mises à jour : 2");
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")),
            "12/09/26 14:05:07 - A\r\n12/09/26 14:05:07 - Nb Images Mises à jour : 2\r\n");
  EXPECT_EQ(window_.MemoLines().back(), "-> 12/09/26 14:05:07 - Nb Images Mises à jour : 2");
}

TEST_F(RunLogTest, RestartEmptiesFileButKeepsMemo) {
  state_.selected_portal = "AUTOSCOUT24";
  log_.WriteLog("");
  for (int i = 0; i < 10; ++i) log_.WriteLog("line " + std::to_string(i));
  log_.WriteLog("");
  EXPECT_EQ(ReadFile(LogFile("AUTOSCOUT24")), "");
  EXPECT_EQ(window_.MemoLines().size(), 12u);
  EXPECT_EQ(window_.MemoLines().back(), "-> ");
}

// A photo name with CR LF must not forge a line of the log or of the console.
TEST_F(RunLogTest, ControlCharactersOfTheTextAreEscapedIntoOneLine) {
  log_.WriteLog("Pb Existence : ",
                "a\r\n12/09/26 14:05:07 - Transfert FTP OK\x1b[2J\tC:\\x\xC2\x9B\x7F");
  const std::string line =
      "12/09/26 14:05:07 - Pb Existence : a\\r\\n12/09/26 14:05:07 - Transfert FTP OK\\x1B[2J"
      "\\tC:\\x\\xC2\\x9B\\x7F";
  EXPECT_EQ(ReadFile(LogFile("")), line + "\r\n");
  EXPECT_EQ(window_.MemoLines().back(), "-> " + line);
  // Accents and the euro sign are text, not controls.
  log_.WriteLog("Pb Existence : été €");
  EXPECT_EQ(window_.MemoLines().back(), "-> 12/09/26 14:05:07 - Pb Existence : été €");
}

TEST_F(RunLogTest, PrefixAndTextMakeOneLine) {
  const std::string document(100000, 'x');
  log_.WriteLog("Result : ", document);
  log_.WriteLog("", "B");
  EXPECT_EQ(ReadFile(LogFile("")),
            "12/09/26 14:05:07 - Result : " + document + "\r\n12/09/26 14:05:07 - B\r\n");
  ASSERT_EQ(window_.MemoLines().size(), 2u);
  EXPECT_EQ(window_.MemoLines()[0], "-> 12/09/26 14:05:07 - Result : " + document);
  EXPECT_EQ(window_.MemoLines()[1], "-> 12/09/26 14:05:07 - B");
}

TEST_F(RunLogTest, PathFollowsSelectedPortalAndAppendCreatesMissingFile) {
  log_.WriteLog("Fichier INI non trouvé : x");
  EXPECT_TRUE(PathExists(dir_.path() + "/TEMP/DadozoVavire.log"));
  state_.selected_portal = "INFOPRESS";
  EXPECT_EQ(log_.LogPath(), dir_.path() + "\\TEMP\\DadozoVavireINFOPRESS.log");
  log_.WriteLog("B");  // never restarted: created
  EXPECT_EQ(ReadFile(LogFile("INFOPRESS")), "12/09/26 14:05:07 - B\r\n");
}

TEST_F(RunLogTest, UnwritableFolderRaisesAndAddsNoMemoLine) {
  ASSERT_TRUE(std::filesystem::create_directory(dir_.path() + "/TEMP"));
  testing::SetFileMode(dir_.path() + "/TEMP", 0555);
  if (testing::Writable(dir_.path() + "/TEMP"))
    GTEST_SKIP() << "running as a user who writes anywhere";
  EXPECT_THROW(log_.WriteLog("A"), IoError);
  EXPECT_TRUE(window_.MemoLines().empty());
}

TEST_F(RunLogTest, LogPathIsAFolderRaises) {
  ASSERT_TRUE(std::filesystem::create_directory(dir_.path() + "/TEMP"));
  ASSERT_TRUE(std::filesystem::create_directory(LogFile("")));
  try {
    log_.WriteLog("A");
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), EISDIR);
    EXPECT_NE(std::string(e.what()).find("DadozoVavire.log"), std::string::npos);
  }
  EXPECT_THROW(log_.WriteLog(""), IoError);
}

}  // namespace
}  // namespace kalvex
