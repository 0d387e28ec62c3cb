#include "runcontrol/run_driver.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::FakeClock;
using testing::PathExists;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

class RunDriverTest : public ::testing::Test {
 protected:
  RunDriverTest()
      : windir_("Windir", dir_.path().c_str()),
        log_(state_, window_, clock_),
        ctx_{state_, window_, log_, clock_, nullptr},
        driver_(ctx_) {
    driver_.SetIniFolder(dir_.path() + "/");
    for (const auto& code : PortalCodes())
      driver_.SetExporter(code, [this, code](RunContext&) { ran_.push_back(code); });
  }
  void WriteIni(const std::string& text) { WriteFile(dir_ / "Kalvex.ini", text); }
  std::string LogFile(const std::string& portal) {
    return dir_.path() + "/TEMP/DadozoVavire" + portal + ".log";
  }

  TempDir dir_;
  ScopedEnv windir_;
  RunState state_;
  WindowModel window_;
  FakeClock clock_;
  RunLog log_;
  RunContext ctx_;
  RunDriver driver_;
  std::vector<std::string> ran_;
};

TEST_F(RunDriverTest, LowerCaseOptionRunsTheExporter) {
  WriteIni("[Options]\nPathImages=/photos\nURLImages=http://127.0.0.1/img\n");
  driver_.RunExport("paruvendu");
  EXPECT_EQ(ran_, std::vector<std::string>{"PARUVENDU"});
  EXPECT_EQ(state_.selected_portal, "PARUVENDU");
  EXPECT_EQ(state_.photo_folder, "/photos");
  EXPECT_EQ(state_.image_base_url, "http://127.0.0.1/img");
  EXPECT_EQ(window_.Text(WindowField::kCaption), "Export des données pour PARUVENDU");
  EXPECT_EQ(window_.Text(WindowField::kBoxServer), "Connexion FTP pour PARUVENDU : ");
  EXPECT_FALSE(window_.ManualStartVisible());
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), "");  // restarted
  EXPECT_FALSE(PathExists(dir_.path() + "/TEMP/DadozoVavire.log"));
}

TEST_F(RunDriverTest, MixedCaseCodesDispatchByTable) {
  WriteIni("");
  driver_.RunExport("LeBonCoin");
  driver_.RunExport("INFOPRESS");
  EXPECT_EQ(ran_, (std::vector<std::string>{"LEBONCOIN", "INFOPRESS"}));
}

TEST_F(RunDriverTest, LeadingBlankIsNotRecognised) {
  WriteIni("");
  driver_.RunExport(" PARUVENDU");
  EXPECT_TRUE(ran_.empty());
  EXPECT_EQ(state_.selected_portal, "");
  EXPECT_EQ(window_.Text(WindowField::kCaption), "Export des données pour  PARUVENDU");
}

TEST_F(RunDriverTest, UnknownOptionWritesNoLogAndKeepsControls) {
  WriteIni("");
  driver_.RunExport("foo");
  EXPECT_TRUE(ran_.empty());
  EXPECT_EQ(window_.Text(WindowField::kCaption), "Export des données pour FOO");
  EXPECT_EQ(window_.Text(WindowField::kBoxServer), "Connexion FTP pour FOO : ");
  EXPECT_EQ(window_.Text(WindowField::kGroupBox1), "Connexion Serveur Pixtrove : ");
  EXPECT_TRUE(window_.ManualStartVisible());
  EXPECT_FALSE(PathExists(dir_.path() + "/TEMP"));
  EXPECT_FALSE(window_.AutoClose());
}

TEST_F(RunDriverTest, MissingIniIsLoggedThenRunGoesOnWithDefaults) {
  driver_.RunExport("PARUVENDU");
  const std::string portal_less = ReadFile(LogFile(""));
  EXPECT_EQ(portal_less,
            "12/09/26 14:05:07 - Fichier INI non trouvé : " + dir_.path() + "/Kalvex.ini\r\n");
  EXPECT_EQ(ran_, std::vector<std::string>{"PARUVENDU"});
  EXPECT_EQ(state_.photo_folder, "c:\\projects\\relmo\\images");
  // A second run appends to the same portal-less log.
  driver_.RunExport("PARUVENDU");
  EXPECT_EQ(ReadFile(LogFile("")), portal_less + portal_less);
}

TEST_F(RunDriverTest, FormCreateNeedsExactlyOneArgument) {
  WriteIni("");
  driver_.FormCreate({});
  driver_.FormCreate({"PARUVENDU", "X"});
  EXPECT_TRUE(ran_.empty());
  EXPECT_EQ(window_.MemoLines(),
            (std::vector<std::string>{"Syntax : Kalvex \"option\"", "Syntax : Kalvex \"option\""}));
  EXPECT_EQ(window_.Text(WindowField::kCaption), "Form1");
  state_.image_server_listing.emplace();
  driver_.FormCreate({"topannonces"});
  EXPECT_EQ(ran_, std::vector<std::string>{"TOPANNONCES"});
  EXPECT_FALSE(state_.image_server_listing.has_value());
}

TEST_F(RunDriverTest, Button1ClickUsesComboText) {
  WriteIni("");
  driver_.Button1Click();
  EXPECT_TRUE(ran_.empty());
  window_.SetText(WindowField::kCBExport, "AutoScout24");
  driver_.Button1Click();
  EXPECT_EQ(ran_, std::vector<std::string>{"AUTOSCOUT24"});
  EXPECT_FALSE(window_.ManualStartVisible());
}

TEST_F(RunDriverTest, ExporterErrorsReachTheCaller) {
  WriteIni("");
  driver_.SetExporter("SITAUTOPRO", [](RunContext&) { throw Error("boom"); });
  EXPECT_THROW(driver_.RunExport("SitAutoPro"), Error);
  EXPECT_FALSE(window_.AutoClose());
}

}  // namespace
}  // namespace kalvex
