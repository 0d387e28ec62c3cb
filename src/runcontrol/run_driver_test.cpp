#include "runcontrol/run_driver.h"

#include <gtest/gtest.h>

#include <filesystem>

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
        ctx_{state_, window_, log_, clock_},
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

TEST_F(RunDriverTest, UnsetOrEmptyWindirEndsTheRunBeforeAnythingIsWritten) {
  for (const char* windir : {static_cast<const char*>(nullptr), ""}) {
    ScopedEnv unset("Windir", windir);
    // With or without a configuration file (a missing one would be logged).
    for (bool ini : {true, false}) {
      if (ini)
        WriteIni("[Options]\n");
      else
        std::filesystem::remove(dir_ / "Kalvex.ini");
      try {
        driver_.RunExport("ParuVendu");
        FAIL() << "no error";
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("La variable d'environnement Windir n'est pas "
                                              "définie",
                                              0),
                  0u)
            << e.what();
      }
    }
  }
  EXPECT_TRUE(ran_.empty());
  EXPECT_TRUE(window_.MemoLines().empty());
  EXPECT_FALSE(PathExists(dir_.path() + "/TEMP"));
  // An unknown portal with its configuration in place writes nothing and needs no Windir.
  ScopedEnv unset("Windir", nullptr);
  WriteIni("[Options]\n");
  driver_.RunExport("FOO");
  EXPECT_EQ(window_.Text(WindowField::kCaption), "Export des données pour FOO");
}

TEST_F(RunDriverTest, ASecondRunOfTheSamePortalStopsAtOnceOthersGoOn) {
  WriteIni("");
  driver_.RunExport("ParuVendu");
  log_.WriteLog("first run's line");
  const std::string first_log = ReadFile(LogFile("PARUVENDU"));

  // Another run of the tool (its own state, log and driver) while this one holds the lock.
  RunState state;
  WindowModel window;
  RunLog log(state, window, clock_);
  RunContext ctx{state, window, log, clock_};
  RunDriver second(ctx);
  second.SetIniFolder(dir_.path() + "/");
  std::vector<std::string> ran;
  for (const auto& code : PortalCodes())
    second.SetExporter(code, [&ran, code](RunContext&) { ran.push_back(code); });
  try {
    second.RunExport("PARUVENDU");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Un export PARUVENDU est déjà en cours (verrou " + dir_.path() +
                  "/TEMP/DadozoVavirePARUVENDU.lock) : ce lancement s'arrête sans toucher au "
                  "journal ni aux fichiers du portail.");
  }
  EXPECT_TRUE(ran.empty());
  EXPECT_TRUE(window.MemoLines().empty());
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), first_log);
  // Another portal runs side by side.
  second.RunExport("LeBonCoin");
  EXPECT_EQ(ran, std::vector<std::string>{"LEBONCOIN"});
}

TEST_F(RunDriverTest, StaleTemporaryFilesOfThePortalAreRemovedAtStart) {
  WriteIni("");
  const std::string work = dir_.path() + "/TEMP/Kalvex";
  WriteFile(work + "/FerlaneDatasVO-20261209.xml.kalvex-tmp-PARUVENDU-Ab12Cd", "half");
  WriteFile(work + "/a.zip.kalvex-tmp-PARUVENDU-Zz99yy.Qq11rr", "libzip's");
  WriteFile(work + "/b.xml.kalvex-tmp-LEBONCOIN-Ab12Cd", "another portal's");
  WriteFile(work + "/ExpDatasParuVendu.xml", "<document/>");
  driver_.RunExport("ParuVendu");
  EXPECT_FALSE(PathExists(work + "/FerlaneDatasVO-20261209.xml.kalvex-tmp-PARUVENDU-Ab12Cd"));
  EXPECT_FALSE(PathExists(work + "/a.zip.kalvex-tmp-PARUVENDU-Zz99yy.Qq11rr"));
  EXPECT_TRUE(PathExists(work + "/b.xml.kalvex-tmp-LEBONCOIN-Ab12Cd"));
  EXPECT_TRUE(PathExists(work + "/ExpDatasParuVendu.xml"));
  EXPECT_EQ(window_.MemoLines().front(),
            "Fichiers temporaires d'un export interrompu supprimés : 2");
}

TEST_F(RunDriverTest, AConfigurationFileThatIsNotTextIsReportedAndDefaultsApply) {
  WriteIni("[Options]\r\nPathImages=/x\r\n" + std::string(2, '\0') + "\x01\x02binary");
  driver_.RunExport("ParuVendu");
  EXPECT_EQ(ran_, std::vector<std::string>{"PARUVENDU"});
  EXPECT_EQ(state_.photo_folder, "c:\\projects\\relmo\\images");
  EXPECT_EQ(window_.MemoLines().front(),
            "Fichier INI illisible (ce n'est pas un fichier texte) : " + dir_.path() +
                "/Kalvex.ini - les valeurs par défaut sont utilisées");
  // A file saved as UTF-16 with its byte-order mark is text.
  std::string wide = "\xFF\xFE";
  for (char c : std::string("[Options]\r\nPathImages=/photos\r\n")) {
    wide += c;
    wide += '\0';
  }
  WriteIni(wide);
  window_.ClearMemo();
  driver_.RunExport("ParuVendu");
  EXPECT_EQ(state_.photo_folder, "/photos");
  EXPECT_EQ(window_.MemoLines().front(), "-> ");
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
  driver_.FormCreate({"topannonces"});
  EXPECT_EQ(ran_, std::vector<std::string>{"TOPANNONCES"});
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

// The deadline counts from the start of each portal run, as long as Kalvex.ini says, and
// stops with the run however it ends; a value that is no count of minutes ends the run
// before its log is restarted.
TEST_F(RunDriverTest, EachPortalRunHasTheDeadlineOfItsIniAndEndsIt) {
  using std::chrono::minutes;
  std::vector<std::chrono::milliseconds> remaining;
  driver_.SetExporter("PARUVENDU", [&](RunContext& ctx) {
    remaining.push_back(ctx.state.deadline.Remaining());
    EXPECT_EQ(ctx.state.deadline.Step(), "préparation de l'export");
  });
  driver_.SetExporter("SITAUTOPRO", [](RunContext& ctx) {
    ctx.state.deadline.EnterStep("construction de l'archive");
    throw Error("boom");
  });
  for (const char* ini :
       {"", "[Options]\r\nDureeMaxMinutes=5\r\n", "[Options]\r\nDureeMaxMinutes=0\r\n"}) {
    WriteIni(ini);
    driver_.RunExport("ParuVendu");
    EXPECT_FALSE(state_.deadline.Active()) << ini;
  }
  ASSERT_EQ(remaining.size(), 3u);
  EXPECT_GT(remaining[0], minutes(59));
  EXPECT_LE(remaining[0], minutes(60));
  EXPECT_GT(remaining[1], minutes(4));
  EXPECT_LE(remaining[1], minutes(5));
  EXPECT_EQ(remaining[2], std::chrono::milliseconds::max());
  WriteIni("[Options]\r\nDureeMaxMinutes=5\r\n");
  EXPECT_THROW(driver_.RunExport("SitAutoPro"), Error);
  EXPECT_FALSE(state_.deadline.Active());

  WriteIni("[Options]\r\nDureeMaxMinutes=soixante\r\n");
  try {
    driver_.RunExport("LeBonCoin");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(),
                 "Valeur refusée dans Kalvex.ini, [Options] DureeMaxMinutes=soixante : un nombre "
                 "entier de minutes est attendu (0 : pas de durée maximale). Rien n'a été écrit "
                 "ni envoyé.");
  }
  EXPECT_FALSE(PathExists(LogFile("LEBONCOIN")));
  EXPECT_TRUE(ran_.empty());
}

// Each run starts a fresh report and tells the observer how it ended.
TEST_F(RunDriverTest, TheObserverHearsEveryRunEndWithItsError) {
  struct Recorder : RunObserver {
    void RunStarted(const std::string& option) override { events.push_back("start " + option); }
    void RunEnded(std::exception_ptr error) override {
      try {
        if (error) std::rethrow_exception(error);
        events.push_back("end");
      } catch (const Error& e) {
        events.push_back(std::string("error ") + e.what());
      }
    }
    std::vector<std::string> events;
  } recorder;
  driver_.SetObserver(&recorder);
  WriteIni("[Options]\r\nMinVehicules=12\r\n");
  state_.report.NoteOutputFile("/left/by/an/earlier/run");
  driver_.RunExport("paruvendu");
  EXPECT_EQ(state_.min_vehicles, 12);
  EXPECT_EQ(state_.report.portal, "PARUVENDU");
  EXPECT_TRUE(state_.report.output_paths.empty());
  driver_.SetExporter("SITAUTOPRO", [](RunContext&) { throw Error("boom"); });
  EXPECT_THROW(driver_.RunExport("SitAutoPro"), Error);
  // A MinVehicules that is not a number ends a portal run before its log is restarted;
  // an unknown portal does not read it.
  WriteIni("[Options]\r\nMinVehicules=douze\r\n");
  EXPECT_THROW(driver_.RunExport("LeBonCoin"), Error);
  EXPECT_FALSE(PathExists(LogFile("LEBONCOIN")));
  driver_.RunExport("Foo");
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{
                "start paruvendu", "end", "start SitAutoPro", "error boom", "start LeBonCoin",
                "error Valeur refusée dans Kalvex.ini, [Options] MinVehicules=douze : un nombre "
                "entier de véhicules est attendu (0 ou clé absente : pas de minimum). Rien n'a "
                "été écrit ni envoyé.",
                "start Foo", "end"}));
  EXPECT_EQ(ran_, (std::vector<std::string>{"PARUVENDU"}));
  driver_.SetObserver(nullptr);
}

}  // namespace
}  // namespace kalvex
