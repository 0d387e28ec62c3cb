#include "exports/export_common.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "export_test_fixture.h"
#include "ftp/ftp_transfer.h"
#include "platform/error.h"
#include "runcontrol/config_keys.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PathExists;
using testing::ReadFile;
using testing::WriteFile;

class ExportCommonTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  XMLCursorPtr LoadDocument(const std::string& xml) {
    XMLCursorPtr cursor = CreateXMLCursor();
    cursor->LoadXML(xml);
    return cursor;
  }
};

TEST_F(ExportCommonTest, WorkingFolderIsCreatedUnderWindirTemp) {
  const std::string expected = dir_.path() + "\\TEMP\\Kalvex";
  EXPECT_EQ(kalvex::WorkingFolder(), expected);
  EXPECT_FALSE(PathExists(WorkingFolder()));
  EXPECT_EQ(EnsureWorkingFolder(), expected);
  EXPECT_TRUE(PathExists(WorkingFolder()));
  WriteFile(WorkingFolder() + "/kept", "x");
  EXPECT_EQ(EnsureWorkingFolder(), expected);
  EXPECT_EQ(ReadFile(WorkingFolder() + "/kept"), "x");
}

TEST_F(ExportCommonTest, ServerSettingsFillTheEightFieldsAndTheCheck) {
  UseIni(
      "[Pixtrove]\nServeurFTP=127.0.0.1:2121\nUser=photos\nPassWord=\"secret 1\"\n"
      "PathFTP=www/images\n"
      "[paruvendu]\nServeurFTP=127.0.0.1:2122\nUser=depot\nPassWord=s2\nPathFTP=in\n"
      "TestFTPPixtrove=1\n");
  ReadServerSettings(context_, "PARUVENDU");
  EXPECT_EQ(window_.Text(WindowField::kParamServeurPixtrove), "127.0.0.1:2121");
  EXPECT_EQ(window_.Text(WindowField::kParamUserPixtrove), "photos");
  EXPECT_EQ(window_.Text(WindowField::kParamPasswordPixtrove), "secret 1");
  EXPECT_EQ(window_.Text(WindowField::kParamRepertPixtrove), "www/images");
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:2122");
  EXPECT_EQ(window_.Text(WindowField::kParamUser), "depot");
  EXPECT_EQ(window_.Text(WindowField::kParamPassword), "s2");
  EXPECT_EQ(window_.Text(WindowField::kParamRepert), "in");
  EXPECT_TRUE(state_.image_server_check);
}

TEST_F(ExportCommonTest, ServerSettingsDefaultsAndCheckSwitch) {
  UseIni("[PARUVENDU]\nTestFTPPixtrove=0\n");
  window_.SetText(WindowField::kParamRepert, "left over");
  state_.image_server_check = true;
  ReadServerSettings(context_, "PARUVENDU");
  EXPECT_EQ(window_.Text(WindowField::kParamServeurPixtrove), config::kPresetHost);
  EXPECT_EQ(window_.Text(WindowField::kParamUserPixtrove), config::kPresetImageUser);
  EXPECT_EQ(window_.Text(WindowField::kParamRepertPixtrove), "www/pixtrove");
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), config::kPresetHost);
  EXPECT_EQ(window_.Text(WindowField::kParamUser),
            config::PortalDefault("PARUVENDU", config::PortalKey::kUser));
  EXPECT_EQ(window_.Text(WindowField::kParamRepert), "");
  EXPECT_FALSE(state_.image_server_check);

  for (const char* on : {"TestFTPPixtrove=yes\n", "TestFTPPixtrove=\n", "TestFTPPixtrove=00\n"}) {
    UseIni(std::string("[PARUVENDU]\n") + on);
    state_.image_server_check = false;
    ReadServerSettings(context_, "PARUVENDU");
    EXPECT_TRUE(state_.image_server_check) << on;
  }
  UseIni("[PARUVENDU]\nUser=x\n");
  state_.image_server_check = true;
  ReadServerSettings(context_, "PARUVENDU");
  EXPECT_FALSE(state_.image_server_check);  // key absent: default "0"
}

TEST_F(ExportCommonTest, PhotoLoopFillsFirstFreeSlotsAndSyncsEveryLink) {
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
  std::vector<std::string> synced;
  state_.photo_counter = 0;
  RunPhotoLoop(context_, *doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu,
               [&](const std::string& name) { synced.push_back(name); });

  EXPECT_THAT(synced, ElementsAre("a.jpg", "b1.jpg", "orphan.jpg", "b2.jpg"));
  EXPECT_EQ(state_.photo_counter, 4);
  EXPECT_EQ(front_end_.events_processed, 4);
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

TEST_F(ExportCommonTest, PhotoLoopListsSixPhotosAndStillSyncsTheSeventh) {
  state_.image_base_url = "u";
  std::string links;
  for (int i = 1; i <= 7; ++i)
    links += "<LiensImages><idNVO>1</idNVO><NomImage>p" + std::to_string(i) +
             "</NomImage></LiensImages>";
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS>"
      "<LiensImagesS>" +
      links + "</LiensImagesS></document>");
  std::vector<std::string> synced;
  RunPhotoLoop(context_, *doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu,
               [&](const std::string& name) { synced.push_back(name); });
  EXPECT_EQ(synced.size(), 7u);
  EXPECT_EQ(synced.back(), "p7.jpg");
  EXPECT_EQ(state_.photo_counter, 7);
  const std::string vehicle = doc->Select("/document/DataVOS/DataVO")->XML();
  EXPECT_THAT(vehicle, HasSubstr("<NomPhoto6>u/p6.jpg</NomPhoto6></DataVO>"));
  EXPECT_EQ(vehicle.find("p7"), std::string::npos);
}

TEST_F(ExportCommonTest, PhotoLoopEndsOnALinkWithoutIdentifier) {
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS><LiensImagesS>"
      "<LiensImages><idNVO></idNVO><NomImage>x</NomImage></LiensImages>"
      "</LiensImagesS></document>");
  int synced = 0;
  EXPECT_THROW(RunPhotoLoop(context_, *doc, kVehicleKeyIdNVO, kPhotoSlotsParuVendu,
                            [&](const std::string&) { ++synced; }),
               XMLException);
  EXPECT_EQ(synced, 0);
}

TEST_F(ExportCommonTest, VehicleIndexAnswersAsTheVehicleQuery) {
  XMLCursorPtr document = LoadDocument(
      "<document><DataVOS>"
      "<DataVO><idNVO>42</idNVO><n>a</n></DataVO>"
      "<DataVO><idNVO> 7 </idNVO><n>b</n></DataVO>"
      "<DataVO><idNVO>42.0</idNVO><n>c</n></DataVO>"
      "<DataVO><idNVO>abc</idNVO><n>d</n></DataVO>"
      "<DataVO><idNVO>-0</idNVO><n>e</n></DataVO>"
      "<DataVO><n>f</n></DataVO>"
      "<DataVO><idNVO>9</idNVO><idNVO>10</idNVO><n>g</n></DataVO>"
      "</DataVOS></document>");
  VehicleIndex index(*document, "idNVO");
  for (const char* id : {"42", "042", "42.", " 7", "7.0", "0", "-0", ".0", "10", "9", "8", "abc",
                         "1 or 1=1", "-42"}) {
    XMLCursorPtr by_query = document->Select(VehicleByKeyXPath("idNVO", id));
    IXMLCursor* found = index.Find(id);
    if (by_query->Eof()) {
      EXPECT_EQ(found, nullptr) << id;
    } else {
      ASSERT_NE(found, nullptr) << id;
      EXPECT_EQ(found->GetValue("n"), by_query->GetValue("n")) << id;
    }
  }
  EXPECT_EQ(index.Find("10")->GetValue("n"), "g");
  EXPECT_THROW(index.Find(" "), EmptyIdentifierError);
}

TEST_F(ExportCommonTest, LinkRecordSetsAreRemovedWithTheirLogLines) {
  XMLCursorPtr doc = LoadDocument(
      "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS>"
      "<LiensImagesS><LiensImages><idNVO>1</idNVO></LiensImages></LiensImagesS>"
      "<COORDONNEESS><COORDONNEES><CODECLIENT>C1</CODECLIENT></COORDONNEES></COORDONNEESS>"
      "<LiensEquipementsS><LiensEquipements/></LiensEquipementsS>"
      "<Aliases><Alias>a</Alias></Aliases></document>");
  RemoveLinkRecordSets(context_, *doc);
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
  RemoveLinkRecordSets(context_, *doc);
  EXPECT_EQ(MemoTexts().size(), 4u);
  EXPECT_EQ(doc->XML(), xml);
}

TEST_F(ExportCommonTest, SummaryRestartsTheLogAndCountsUpdatesOnlyWhenSent) {
  state_.selected_portal = "PARUVENDU";
  context_.WriteLog("");
  context_.WriteLog("before the summary");
  state_.update_counter = 0;
  RestartLogWithUpdateSummary(context_);
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), "");

  state_.update_counter = 12;
  RestartLogWithUpdateSummary(context_);
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre("Nb Images Mises à jour : 12 photos --- "));
}

TEST_F(ExportCommonTest, UploadLineStartsWithTheTransferResult) {
  state_.selected_portal = "PARUVENDU";
  context_.WriteLog("");
  // No FTP sessions in this context: reported as a connection failure.
  EXPECT_EQ(SendExportFileAndLog(context_, "x.xml", "PARUVENDU - x.xml"),
            "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre("Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : PARUVENDU - x.xml"));
}

}  // namespace
}  // namespace kalvex
