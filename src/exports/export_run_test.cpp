#include "exports/export_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "export_test_fixture.h"
#include "exports/ftp_link.h"
#include "exports/portal_upload.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/config_keys.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PathExists;
using testing::ReadFile;
using testing::WriteFile;

class ExportRunTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  FtpLink link_{context_};
  ExportRun run_{context_, {"PARUVENDU", "ParuVendu"}, {&photos_, nullptr, &link_}};

  XMLCursorPtr LoadDocument(const std::string& xml) {
    XMLCursorPtr cursor = CreateXMLCursor();
    cursor->LoadXML(xml);
    return cursor;
  }
};

TEST_F(ExportRunTest, WorkingFolderIsCreatedUnderWindirTemp) {
  EXPECT_EQ(run_.WorkingPath("x.xml"), dir_.path() + "\\TEMP\\Kalvex\\x.xml");
  EXPECT_EQ(run_.DocumentName(), WorkingFolder() + "/ExpDatasParuVendu.xml");
  EXPECT_FALSE(PathExists(WorkingFolder()));
  run_.CreateWorkingFolder();
  EXPECT_TRUE(PathExists(WorkingFolder()));
  WriteFile(WorkingFolder() + "/kept", "x");
  run_.CreateWorkingFolder();
  EXPECT_EQ(ReadFile(WorkingFolder() + "/kept"), "x");
}

TEST_F(ExportRunTest, ServerSettingsFillTheEightFieldsAndTheCheck) {
  UseIni(
      "[Pixtrove]\nServeurFTP=127.0.0.1:2121\nUser=photos\nPassWord=\"secret 1\"\n"
      "PathFTP=www/images\n"
      "[paruvendu]\nServeurFTP=127.0.0.1:2122\nUser=depot\nPassWord=s2\nPathFTP=in\n"
      "TestFTPPixtrove=1\n");
  run_.ReadServerSettings();
  EXPECT_EQ(window_.Text(WindowField::kParamServeurPixtrove), "127.0.0.1:2121");
  EXPECT_EQ(window_.Text(WindowField::kParamUserPixtrove), "photos");
  EXPECT_EQ(window_.Text(WindowField::kParamPasswordPixtrove), "secret 1");
  EXPECT_EQ(window_.Text(WindowField::kParamRepertPixtrove), "www/images");
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:2122");
  EXPECT_EQ(window_.Text(WindowField::kParamUser), "depot");
  EXPECT_EQ(window_.Text(WindowField::kParamPassword), "s2");
  EXPECT_EQ(window_.Text(WindowField::kParamRepert), "in");
  EXPECT_TRUE(link_.transfer().ImageServerCheck());
}

TEST_F(ExportRunTest, ServerSettingsDefaultsAndCheckSwitch) {
  UseIni("[PARUVENDU]\nTestFTPPixtrove=0\n");
  window_.SetText(WindowField::kParamRepert, "left over");
  link_.SetImageServerCheck(true);
  run_.ReadServerSettings();
  EXPECT_EQ(window_.Text(WindowField::kParamServeurPixtrove), config::kPresetHost);
  EXPECT_EQ(window_.Text(WindowField::kParamUserPixtrove), config::kPresetImageUser);
  EXPECT_EQ(window_.Text(WindowField::kParamRepertPixtrove), "www/pixtrove");
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), config::kPresetHost);
  EXPECT_EQ(window_.Text(WindowField::kParamUser),
            config::PortalDefault("PARUVENDU", config::PortalKey::kUser));
  EXPECT_EQ(window_.Text(WindowField::kParamRepert), "");
  EXPECT_FALSE(link_.transfer().ImageServerCheck());

  for (const char* on : {"TestFTPPixtrove=yes\n", "TestFTPPixtrove=\n", "TestFTPPixtrove=00\n"}) {
    UseIni(std::string("[PARUVENDU]\n") + on);
    link_.SetImageServerCheck(false);
    run_.ReadServerSettings();
    EXPECT_TRUE(link_.transfer().ImageServerCheck()) << on;
  }
  UseIni("[PARUVENDU]\nUser=x\n");
  link_.SetImageServerCheck(true);
  run_.ReadServerSettings();
  EXPECT_FALSE(link_.transfer().ImageServerCheck());  // key absent: default "0"
}

TEST_F(ExportRunTest, PassifAndTlsOfEachSectionGoToItsSession) {
  link_.SetSecurity(FtpServer::kImages, {false, TlsMode::kOff, "/tests/ca.pem"});
  UseIni("[Pixtrove]\nPassif=1\nTLS=2\n[paruvendu]\nTLS=1\n");
  run_.ReadServerSettings();
  // A CA file given to the link stays.
  EXPECT_EQ(link_.Security(FtpServer::kImages),
            (FtpSecurity{true, TlsMode::kUnverified, "/tests/ca.pem"}));
  EXPECT_EQ(link_.Security(FtpServer::kPortal), (FtpSecurity{false, TlsMode::kVerified, ""}));
  UseIni("[PARUVENDU]\nPassif=oui\n");  // Passif is a switch; both keys default to "0"
  run_.ReadServerSettings();
  EXPECT_EQ(link_.Security(FtpServer::kImages),
            (FtpSecurity{false, TlsMode::kOff, "/tests/ca.pem"}));
  EXPECT_EQ(link_.Security(FtpServer::kPortal), (FtpSecurity{true, TlsMode::kOff, ""}));

  // A TLS value that names no mode ends the run before any session changes.
  for (const auto& [ini, message] : std::initializer_list<std::pair<const char*, const char*>>{
           {"[PARUVENDU]\nTLS=oui\n", "[PARUVENDU] TLS=oui"},
           {"[Pixtrove]\nTLS=\n[PARUVENDU]\nTLS=2\n", "[Pixtrove] TLS="}}) {
    UseIni(ini);
    try {
      run_.ReadServerSettings();
      ADD_FAILURE() << ini;
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "Valeur refusée dans Kalvex.ini, " + std::string(message) +
                                  " : les valeurs possibles sont 0 (FTP sans chiffrement), 1 "
                                  "(TLS, certificat du serveur vérifié) et 2 (TLS, certificat "
                                  "du serveur non vérifié)");
    }
    EXPECT_EQ(link_.Security(FtpServer::kPortal), (FtpSecurity{true, TlsMode::kOff, ""}));
  }
}

TEST_F(ExportRunTest, PhotoLoopFillsFirstFreeSlotsAndSyncsEveryLink) {
  state_.image_base_url = "http://127.0.0.1/img";
  XMLCursorPtr doc = LoadDocument(
      "<?xml version=\"1.0\"?><document>"
      "<DataVOS EOF=\"False\" RecordName=\"DataVO\">"
      "<DataVO><idNVO>7</idNVO><NomPhoto1>kept</NomPhoto1><NomPhoto2></NomPhoto2></DataVO>"
      "<DataVO><idNVO>42</idNVO></DataVO>"
      "</DataVOS>"
      "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
      "<LiensImages><idNVO>7</idNVO><NomImage>a</NomImage></LiensImages>"
      "<LiensImages><idNVO>042</idNVO><NomImage>b1</NomImage></LiensImages>"
      "<LiensImages><idNVO>99</idNVO><NomImage>orphan</NomImage></LiensImages>"
      "<LiensImages><idNVO>42</idNVO><NomImage>b2</NomImage></LiensImages>"
      "</LiensImagesS></document>");
  state_.photo_counter = 0;
  run_.RunPhotoLoop(*doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu);

  EXPECT_THAT(photos_.synced, ElementsAre("a.jpg", "b1.jpg", "orphan.jpg", "b2.jpg"));
  EXPECT_EQ(state_.photo_counter, 4);
  EXPECT_GE(front_end_.events_processed, 1);  // at most once per event interval
  EXPECT_THAT(MemoTexts(), ElementsAre("Après premier Select LiensImages"));
  // The filled slot is skipped, the empty one is used in place.
  EXPECT_EQ(doc->Select("/document/DataVOS/DataVO[idNVO=7]")->XML(),
            "<DataVO><idNVO>7</idNVO><NomPhoto1>kept</NomPhoto1>"
            "<NomPhoto2>http://127.0.0.1/img/a.jpg</NomPhoto2></DataVO>");
  // Absent slots are appended in the order they are filled; "042" is the number 42.
  EXPECT_EQ(doc->Select("/document/DataVOS/DataVO[idNVO=42]")->XML(),
            "<DataVO><idNVO>42</idNVO><NomPhoto1>http://127.0.0.1/img/b1.jpg</NomPhoto1>"
            "<NomPhoto2>http://127.0.0.1/img/b2.jpg</NomPhoto2></DataVO>");
}

TEST_F(ExportRunTest, PhotoLoopListsSixPhotosAndStillSyncsTheSeventh) {
  state_.image_base_url = "u";
  std::string links;
  for (int i = 1; i <= 7; ++i)
    links += "<LiensImages><idNVO>1</idNVO><NomImage>p" + std::to_string(i) +
             "</NomImage></LiensImages>";
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS>"
      "<LiensImagesS>" +
      links + "</LiensImagesS></document>");
  run_.RunPhotoLoop(*doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu);
  EXPECT_EQ(photos_.synced.size(), 7u);
  EXPECT_EQ(photos_.synced.back(), "p7.jpg");
  EXPECT_EQ(state_.photo_counter, 7);
  const std::string vehicle = doc->Select("/document/DataVOS/DataVO")->XML();
  EXPECT_THAT(vehicle, HasSubstr("<NomPhoto6>u/p6.jpg</NomPhoto6></DataVO>"));
  EXPECT_EQ(vehicle.find("p7"), std::string::npos);
}

TEST_F(ExportRunTest, PhotoLoopEndsOnALinkWithoutIdentifier) {
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS><LiensImagesS>"
      "<LiensImages><idNVO></idNVO><NomImage>x</NomImage></LiensImages>"
      "</LiensImagesS></document>");
  EXPECT_THROW(run_.RunPhotoLoop(*doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu), XMLException);
  EXPECT_TRUE(photos_.synced.empty());
}

TEST_F(ExportRunTest, LinkRecordSetsAreRemovedWithTheirLogLines) {
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS>"
      "<LiensImagesS><LiensImages><idNVO>1</idNVO></LiensImages></LiensImagesS>"
      "<COORDONNEESS><COORDONNEES><CODECLIENT>C1</CODECLIENT></COORDONNEES></COORDONNEESS>"
      "<LiensEquipementsS><LiensEquipements/></LiensEquipementsS>"
      "<Aliases><Alias>a</Alias></Aliases></document>");
  run_.RemoveLinkRecordSets(*doc);
  EXPECT_THAT(
      MemoTexts(),
      ElementsAre("Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
                  "Après Suppression LiensImages & LiensEquipements & Aliases", "Après Aliases"));
  const std::string xml = doc->XML();
  EXPECT_THAT(xml, HasSubstr("<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS>"
                             "<COORDONNEESS><COORDONNEES><CODECLIENT>C1</CODECLIENT>"
                             "</COORDONNEES></COORDONNEESS></document>"));

  // A document without them: the same four lines, nothing else changes.
  window_.ClearMemo();
  run_.RemoveLinkRecordSets(*doc);
  EXPECT_EQ(MemoTexts().size(), 4u);
  EXPECT_EQ(doc->XML(), xml);
}

// A text the run made that does not parse: the error says which document it was made of.
TEST_F(ExportRunTest, ParseErrorOfARewrittenTextNamesItsDocument) {
  XMLCursorPtr doc = LoadDocument("<document><DataVOS/><Other/></document>");
  const std::string kept = WorkingFolder() + "/kept.xml";
  try {
    run_.RewriteAndSave(*doc, kept, {}, {IgnoringCase("<document>", "")}, {kept});
    FAIL() << "the rewritten text parsed";
  } catch (const XMLParseException& e) {
    EXPECT_EQ(e.source(), "texte réécrit de " + WorkingFolder() + "/ExpDatasParuVendu.xml");
    EXPECT_THAT(e.what(), HasSubstr(" in \"texte réécrit de " + WorkingFolder() +
                                    "/ExpDatasParuVendu.xml\"\r\n"));
  }
}

TEST_F(ExportRunTest, SummaryRestartsTheLogAndCountsUpdatesOnlyWhenSent) {
  state_.selected_portal = "PARUVENDU";
  context_.WriteLog("");
  context_.WriteLog("before the summary");
  state_.update_counter = 0;
  run_.RestartLog();
  run_.LogUpdateSummary();
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), "");

  state_.update_counter = 12;
  run_.RestartLog();
  run_.LogUpdateSummary();
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre("Nb Images Mises à jour : 12 photos --- "));
}

TEST_F(ExportRunTest, UploadLineStartsWithTheTransferResult) {
  state_.selected_portal = "PARUVENDU";
  context_.WriteLog("");
  // No FTP sessions in this context: reported as a connection failure.
  EXPECT_EQ(run_.SendExportFile("x.xml", "PARUVENDU - x.xml"),
            "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre("Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : PARUVENDU - x.xml"));
}

// The upload's result text decides whether the run ends with the upload-failed exit code.
TEST_F(ExportRunTest, AnUploadThatDidNotSucceedIsMarkedFailed) {
  struct FixedUpload : PortalUpload {
    std::string result;
    std::vector<std::string> sent;
    std::string Send(const std::string& local_path) override {
      sent.push_back(local_path);
      return result;
    }
  } upload;
  ExportRun run(context_, {"PARUVENDU", "ParuVendu"}, {&photos_, &upload, &link_});
  state_.selected_portal = "PARUVENDU";
  context_.WriteLog("");
  upload.result = FtpTransfer::kTransferOk;
  EXPECT_EQ(run.SendExportFile("x.xml", "x.xml"), FtpTransfer::kTransferOk);
  EXPECT_FALSE(state_.portal_upload_failed);
  EXPECT_EQ(state_.report.remote_name, "x.xml");
  for (const char* failure : {FtpTransfer::kConnectionFailed, FtpTransfer::kTransferFailed}) {
    state_.portal_upload_failed = false;
    upload.result = failure;
    EXPECT_EQ(run.SendExportFile("w\\y.zip", "y.zip"), failure);
    EXPECT_TRUE(state_.portal_upload_failed) << failure;
  }
  EXPECT_THAT(upload.sent, ElementsAre("x.xml", "w\\y.zip", "w\\y.zip"));
}

TEST_F(ExportRunTest, AFailedSaveStillReportsTheFilesItPutInPlace) {
  XMLCursorPtr document = LoadDocument("<document/>");
  const std::string folder = WorkingFolder();
  WriteFile(folder + "/blocked", "a file where a folder should be");
  WriteFile(folder + "/old.xml", "an earlier run's");
  EXPECT_THROW(
      run_.Save(*document, {run_.WorkingPath("kept.xml"), run_.WorkingPath("blocked\\x.xml"),
                            run_.WorkingPath("old.xml")}),
      Error);
  EXPECT_THAT(state_.report.output_paths, ElementsAre(folder + "/kept.xml"));
  EXPECT_EQ(ReadFile(folder + "/old.xml"), "an earlier run's");
}

// The folder setting is checked against the run's own folders, the photo folder of the
// run state among them, and refused naming the portal's section and key.
TEST_F(ExportRunTest, FolderToEmptyIsCheckedAgainstTheRunsPhotoFolder) {
  ExportRun as24{context_, {"AUTOSCOUT24", "AutoScout24"}};
  UseIni("[AUTOSCOUT24]\nPathTemp=\\data\\photos\\AS24\n");
  EXPECT_EQ(as24.SettingFolderToEmpty(config::PortalKey::kPathTemp),
            dir_.path() + "\\data\\photos\\AS24");
  ASSERT_TRUE(platform::ForceDirectories(dir_.path() + "/data/photos/AS24"));
  state_.photo_folder = dir_.path() + "\\data\\photos\\AS24";
  try {
    as24.SettingFolderToEmpty(config::PortalKey::kPathTemp);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("[AUTOSCOUT24] PathTemp=\\data\\photos\\AS24 : le dossier "));
    EXPECT_THAT(e.what(), HasSubstr(" est le dossier des photos ;"));
  }
}

// The run's deadline is checked after each photo link and in the archive's progress; the
// error names the step, and the archive in the making goes.
TEST_F(ExportRunTest, TheDeadlineEndsThePhotoLoopAndTheArchiveNamingTheirStep) {
  using namespace std::chrono_literals;
  RunDeadline::TimePoint now{};
  state_.deadline = RunDeadline([&now] { return now; });
  state_.deadline.Start(1);
  photos_.sent = [&now](const std::string&) { return (now += 40s, false); };
  XMLCursorPtr doc = LoadDocument(
      "<document><LiensImagesS><LiensImages><idNVO>1</idNVO><NomImage>a</NomImage></LiensImages>"
      "<LiensImages><idNVO>1</idNVO><NomImage>b</NomImage></LiensImages>"
      "<LiensImages><idNVO>1</idNVO><NomImage>c</NomImage></LiensImages></LiensImagesS></"
      "document>");
  EXPECT_THROW(run_.RunPhotoLoop(*doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu),
               RunDeadlineExceeded);
  EXPECT_THAT(photos_.synced, ElementsAre("a.jpg", "b.jpg"));
  EXPECT_EQ(state_.deadline.Step(), "synchronisation des photos");

  // The archive's progress lets the window run, and the time runs out then.
  struct LateFrontEnd : NullFrontEnd {
    explicit LateFrontEnd(RunDeadline::TimePoint& time) : now(time) {}
    void ProcessPendingEvents() override { now += 61s; }
    RunDeadline::TimePoint& now;
  } late(now);
  window_.SetFrontEnd(&late);
  state_.deadline.Start(1);
  run_.CreateWorkingFolder();
  WriteFile(WorkingFolder() + "/result.xml", std::string(300000, 'r'));
  EXPECT_THROW(
      try {
        run_.BuildArchive(run_.WorkingPath("result.zip"), run_.WorkingPath("result.xml"));
      } catch (const RunDeadlineExceeded& e) {
        EXPECT_THAT(e.what(), HasSubstr("pendant : construction de l'archive."));
        throw;
      },
      RunDeadlineExceeded);
  window_.SetFrontEnd(&front_end_);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(WorkingFolder()))
    left.push_back(entry.path().filename().string());
  EXPECT_THAT(left, ElementsAre("result.xml"));
}

}  // namespace
}  // namespace kalvex
