#include "exports/paru_vendu_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "export_test_fixture.h"
#include "exports/exporters.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::PathExists;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::WriteFile;

// Two vehicles (the second one without photo slots), three photo links (one for no
// vehicle), equipment labels and aliases.
const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n"
    "<document>\n"
    "  <DataVOS EOF=\"False\" RecordName=\"DataVO\">\n"
    "    <DataVO>\n"
    "      <idNVO>11</idNVO>\n"
    "      <SousRubrique>Citroën</SousRubrique>\n"
    "      <ModeleVersion>Citroën C3 1.2 PureTech CITROËN Shine</ModeleVersion>\n"
    "      <EqutInterieur>;Clim;GPS;</EqutInterieur>\n"
    "      <EqutExterieur>;JantAll;</EqutExterieur>\n"
    "      <EqutSecurite></EqutSecurite>\n"
    "      <InfoComplement>;Inconnu;</InfoComplement>\n"
    "      <Texte>Prix : 9 990 €</Texte>\n"
    "      <NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3>\n"
    "    </DataVO>\n"
    "    <DataVO>\n"
    "      <idNVO>12</idNVO>\n"
    "      <SousRubrique>Séat</SousRubrique>\n"
    "      <ModeleVersion>Seat Ibiza FR</ModeleVersion>\n"
    "      <EqutInterieur>;Clim;</EqutInterieur>\n"
    "    </DataVO>\n"
    "  </DataVOS>\n"
    "  <LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\n"
    "    <LiensImages><idNVO>11</idNVO><NomImage>c3_1</NomImage></LiensImages>\n"
    "    <LiensImages><idNVO>12</idNVO><NomImage>ibiza_1</NomImage></LiensImages>\n"
    "    <LiensImages><idNVO>77</idNVO><NomImage>sold_1</NomImage></LiensImages>\n"
    "  </LiensImagesS>\n"
    "  <LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\n"
    "    <LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
    "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>\n"
    "    <LiensEquipements><AbbrEquip>GPS</AbbrEquip>"
    "<LibelleEquipement>GPS intégré</LibelleEquipement></LiensEquipements>\n"
    "    <LiensEquipements><AbbrEquip>JANTALL</AbbrEquip>"
    "<LibelleEquipement>Jantes alliage</LibelleEquipement></LiensEquipements>\n"
    "  </LiensEquipementsS>\n"
    "  <Aliases><Alias>VO</Alias></Aliases>\n"
    "</document>\n";

constexpr char kIni[] =
    "[Options]\nPathImages=/nowhere\nURLImages=http://127.0.0.1/pixtrove\n"
    "[PARUVENDU]\nServeurFTP=127.0.0.1:9\nUser=depot\nPassWord=pw\n";

class ParuVenduExportTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  ParuVenduExportTest() {
    photos_.sent = [](const std::string& name) { return name.starts_with("c3"); };
  }
  void WriteDocument(const std::string& utf8_text) {
    ExportFixture::WriteDocument("ParuVendu", utf8_text);
  }
  std::string StampedFile() const { return WorkingFolder() + "/202612091405.xml"; }
  std::string ExportFile() const { return WorkingFolder() + "/FerlaneDatasVO-20261209.xml"; }
};

TEST_F(ParuVenduExportTest, RunWritesThePortalFileTwiceAndLogsOnlyTheSummary) {
  UseIni(std::string(kIni) + "FlgInfoEquip=1\n");
  WriteDocument(kDocument);
  const std::string input = ReadFile(WorkingFolder() + "/ExpDatasParuVendu.xml");
  WriteFile(dir_.path() + "/TEMP/RaredoPARUVENDU.log", "old");
  driver_.RunExport("ParuVendu");

  EXPECT_TRUE(window_.AutoClose());
  EXPECT_THAT(photos_.synced, ElementsAre("c3_1.jpg", "ibiza_1.jpg", "sold_1.jpg"));
  EXPECT_EQ(state_.vehicle_counter, 2);
  EXPECT_EQ(state_.photo_counter, 3);
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:9");
  EXPECT_EQ(window_.Text(WindowField::kParamUser), "depot");

  const std::string saved = ReadFile(ExportFile());
  EXPECT_EQ(ReadFile(StampedFile()), saved);
  EXPECT_EQ(ReadFile(WorkingFolder() + "/ExpDatasParuVendu.xml"), input);
  EXPECT_FALSE(PathExists(dir_.path() + "/TEMP/RaredoPARUVENDU.log"));
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\"?>"));
  EXPECT_THAT(saved, HasSubstr("<DataVO><id-VO>11</id-VO><SousRubrique>Citroën</SousRubrique>"
                               "<ModeleVersion>C3 1.2 PureTech Shine</ModeleVersion>"
                               "<EqutInterieur>Climatisation, GPS intégré</EqutInterieur>"
                               "<EqutExterieur>Jantes alliage</EqutExterieur>"
                               "<EqutSecurite></EqutSecurite>"
                               "<InfoComplement></InfoComplement>"
                               "<Texte>Prix : 9 990 €</Texte>"
                               "<Photo Num=\"1\">http://127.0.0.1/pixtrove/c3_1.jpg</Photo>"
                               "<Photo Num=\"2\"></Photo><Photo Num=\"3\"></Photo></DataVO>"));
  // "Séat" also removes "Seat "; the missing slots are appended.
  EXPECT_THAT(saved, HasSubstr("<DataVO><id-VO>12</id-VO><SousRubrique>Séat</SousRubrique>"
                               "<ModeleVersion>Ibiza FR</ModeleVersion>"
                               "<EqutInterieur>Climatisation</EqutInterieur>"
                               "<EqutExterieur></EqutExterieur><EqutSecurite></EqutSecurite>"
                               "<InfoComplement></InfoComplement>"
                               "<Photo Num=\"1\">http://127.0.0.1/pixtrove/ibiza_1.jpg</Photo>"
                               "</DataVO></DataVOS></document>"));
  EXPECT_THAT(saved, Not(HasSubstr("Liens")));
  EXPECT_THAT(saved, Not(HasSubstr("Alias")));
  EXPECT_THAT(saved, Not(HasSubstr("sold_1")));

  const std::string shown = WorkingFolder() + "/FerlaneDatasVO-20261209.xml";
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre("Nb Images Mises à jour : 1 photos --- ",
                          "Début Transfert : " + shown + " - 2 VO - 3 photos",
                          "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : PARUVENDU - " +
                              shown));

  // The memo keeps every line of the run, in order.
  std::vector<std::string> memo = MemoTexts();
  ASSERT_EQ(memo.size(), 14u);
  EXPECT_THAT(memo[7], StartsWith("Result : <?xml version=\"1.0\"?>"));
  EXPECT_THAT(memo[7], HasSubstr("<Photo Num=\"1\">"));
  memo[7] = "Result : ...";
  EXPECT_THAT(memo,
              ElementsAre("-> ", "Après premier Select DataVO", "Après premier Select LiensImages",
                          "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
                          "Après Suppression LiensImages & LiensEquipements & Aliases",
                          "Après Aliases", "Result : ...", "Après Replacements",
                          "Avant Enregistrement", "-> ", "Nb Images Mises à jour : 1 photos --- ",
                          "Début Transfert : " + shown + " - 2 VO - 3 photos",
                          "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : PARUVENDU - " +
                              shown));
}

TEST_F(ParuVenduExportTest, EquipmentCodesStayUnlessTheSwitchIsOn) {
  for (const char* flag : {"", "FlgInfoEquip=0\n"}) {
    UseIni(std::string(kIni) + flag);
    WriteDocument(kDocument);
    driver_.RunExport("PARUVENDU");
    const std::string saved = ReadFile(ExportFile());
    EXPECT_THAT(saved, HasSubstr("<EqutInterieur>;Clim;GPS;</EqutInterieur>"
                                 "<EqutExterieur>;JantAll;</EqutExterieur>"))
        << flag;
    EXPECT_THAT(saved, HasSubstr("<InfoComplement>;Inconnu;</InfoComplement>")) << flag;
  }
  UseIni(std::string(kIni) + "FlgInfoEquip=oui\n");
  WriteDocument(kDocument);
  driver_.RunExport("PARUVENDU");
  EXPECT_THAT(ReadFile(ExportFile()), HasSubstr("<EqutInterieur>Climatisation, GPS intégré<"));
}

TEST_F(ParuVenduExportTest, EmptyMakeLeavesTheModelAndIdentifiersAnyCaseAreRenamed) {
  UseIni(kIni);
  WriteDocument(
      "<?xml version=\"1.0\"?><document><DataVOS>"
      "<DataVO><IDNVO>5</IDNVO><idNVO>5</idNVO><SousRubrique></SousRubrique>"
      "<ModeleVersion>Zeta 1.5 D</ModeleVersion><Extra><IdNvo>x</IdNvo></Extra></DataVO>"
      "</DataVOS></document>");
  driver_.RunExport("PARUVENDU");
  const std::string saved = ReadFile(ExportFile());
  EXPECT_THAT(saved, HasSubstr("<DataVO><id-VO>5</id-VO><id-VO>5</id-VO>"
                               "<SousRubrique></SousRubrique>"
                               "<ModeleVersion>Zeta 1.5 D</ModeleVersion>"
                               "<Extra><id-VO>x</id-VO></Extra></DataVO>"));
  // No photo was sent: no update line.
  EXPECT_THAT(LogTexts(ReadFile(LogFile("PARUVENDU"))),
              ElementsAre(StartsWith("Début Transfert : "), StartsWith("Transfert FTP : Erreur")));
  EXPECT_TRUE(window_.AutoClose());
}

TEST_F(ParuVenduExportTest, MissingOrMalformedInputEndsTheRunWithoutOutput) {
  UseIni(kIni);
  const std::string input = dir_.path() + "\\TEMP\\Kalvex\\ExpDatasParuVendu.xml";
  try {
    driver_.RunExport("PARUVENDU");
    FAIL() << "no error";
  } catch (const XMLException& e) {
    EXPECT_THAT(e.what(),
                StartsWith("TXMLCursor.Load FileName[" + input + "] does not exists\r\n"));
  }
  EXPECT_TRUE(PathExists(WorkingFolder()));  // created at the start
  EXPECT_FALSE(window_.AutoClose());

  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml",
            "<?xml version=\"1.0\"?>\n<document>\n<a>\n");
  try {
    driver_.RunExport("PARUVENDU");
    FAIL() << "no error";
  } catch (const XMLException& e) {
    EXPECT_THAT(e.what(), StartsWith("TXMLCursor.Load FileName: \"" + input + "\"\r\nError "));
  }
  EXPECT_FALSE(PathExists(ExportFile()));
  EXPECT_FALSE(PathExists(StampedFile()));
  EXPECT_FALSE(window_.AutoClose());
  EXPECT_EQ(ReadFile(LogFile("PARUVENDU")), "");  // restarted by the driver, nothing more
}

TEST_F(ParuVenduExportTest, FailedSaveOfTheExportFileLeavesNoPartialFile) {
  UseIni(kIni);
  WriteDocument(kDocument);
  WriteFile(ExportFile() + "/in-the-way", "");  // a folder holds the export file's name
  const std::string target = dir_.path() + "\\TEMP\\Kalvex\\FerlaneDatasVO-20261209.xml";
  try {
    driver_.RunExport("PARUVENDU");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), StartsWith("TXMLCursor.Save FileName: \"" + target + "\"\r\n"));
  }
  EXPECT_TRUE(PathExists(StampedFile()));  // saved before the failure
  // Nothing but the input, the stamped copy and the obstacle in the working folder.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(WorkingFolder())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 3);
  EXPECT_FALSE(window_.AutoClose());
  // The run ended before the log restart: the log ends with the last step reached.
  EXPECT_EQ(LogTexts(ReadFile(LogFile("PARUVENDU"))).back(), "Avant Enregistrement");
}

TEST(ExportersTest, ParuVenduJoinsTheDispatchTable) {
  testing::ExportFixture fixture;
  fixture.UseIni(kIni);
  // The real exporter runs: with no input document it ends with the cursor's error.
  EXPECT_THROW(fixture.driver_.RunExport("paruvendu"), XMLException);
  EXPECT_TRUE(PathExists(fixture.WorkingFolder()));
}

}  // namespace
}  // namespace kalvex
