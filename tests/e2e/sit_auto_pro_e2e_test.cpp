// The SitAutoPro export end to end: the built executable in console mode with a
// temporary Windir, its Kalvex.ini and two loopback FTP servers playing the image server
// and the SitAutoPro drop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::LogLineTexts;
using ::testing::Not;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::WriteFile;

constexpr char kSlots[] =
    "<NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
    "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6>";

std::string Vehicle(const std::string& reference, const std::string& interior,
                    const std::string& extra_fields = "") {
  return "<DataVO><REFERENCE>" + reference +
         "</REFERENCE><CATEGORIE>Berline</CATEGORIE><MARQUE>Peugeot</MARQUE><MODELE>308</MODELE>"
         "<VERSION>308 1.2 PureTech Allure</VERSION><GARANTIE>12 mois</GARANTIE>"
         "<NB_PORTES>5 portes</NB_PORTES><PRIX>17 990 €</PRIX><EQUTINTERIEUR>" +
         interior +
         "</EQUTINTERIEUR><EQUTEXTERIEUR>;JantAll;</EQUTEXTERIEUR><PRIX_ACHAT>14 000"
         "</PRIX_ACHAT><NOTE_INTERNE>Reprise Dupont, négociable</NOTE_INTERNE>"
         "<EQUTSECURITE>;ABS;ESP;</EQUTSECURITE>" +
         extra_fields + kSlots + "</DataVO>\r\n";
}

std::string Document(const std::string& coordinates, const std::string& vehicles) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>\r\n" + coordinates +
         "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\r\n" + vehicles +
         "</DataVOS>\r\n"
         "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\r\n"
         "<LiensImages><idNVO>301</idNVO><NomImage>308_1</NomImage></LiensImages>\r\n"
         "<LiensImages><idNVO>301</idNVO><NomImage>308_2</NomImage></LiensImages>\r\n"
         "<LiensImages><idNVO>303</idNVO><NomImage>c3_lost</NomImage></LiensImages>\r\n"
         "</LiensImagesS>\r\n"
         "<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">"
         "</LiensEquipementsS>\r\n<Aliases><Alias Nom=\"VO\">DataVO</Alias></Aliases>\r\n"
         "</document>\r\n";
}

constexpr char kCoordinates[] =
    "<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
    "<CODECLIENT>SAP0421</CODECLIENT><RAISON_SOCIALE>Garage de l'Étoile</RAISON_SOCIALE>"
    "</COORDONNEES></COORDONNEESS>\r\n";

// 301 has two photos, 302 none, 303 one that exists nowhere.
const std::string kVehicles =
    Vehicle("301", ";ClimAuto;RadCD;", "<INFOCOMPLEMENT>;VNF;</INFOCOMPLEMENT>") +
    Vehicle("302", "", "<INFOCOMPLEMENT></INFOCOMPLEMENT>") +
    Vehicle("303", ";Clim;", "<INFOCOMPLEMENT></INFOCOMPLEMENT>");

class SitAutoProEndToEndTest : public testing::EndToEndTest {
 protected:
  SitAutoProEndToEndTest()
      : images_(ImageServerOptions()), drop_(DropOptions(kDropUser, kDropPassword)) {
    for (const char* name : {"308_1.jpg", "308_1m.jpg", "308_2.jpg", "308_2m.jpg"})
      WritePhoto(Photos(), name);
    // 308_2 is on the image server already.
    WritePhoto(images_.Home() + "/www/pixtrove", "308_2.jpg");
    WritePhoto(images_.Home() + "/www/pixtrove", "308_2m.jpg");
  }

  testing::RunResult Run(const std::string& document) {
    WriteFile(WorkingFolder() + "/ExpDatasSitAutoPro.xml", Latin9(document));
    return RunKalvex(Ini(images_, "SITAUTOPRO", drop_.HostField(), kDropUser, kDropPassword,
                         "FileResult=SAP0421.xml\r\nFileResultZip=SAP0421.zip\r\n"
                         "TestFTPPixtrove=1\r\n"),
                     "SitAutoPro");
  }
  std::string ResultFile() const { return WorkingFolder() + "/SAP0421.xml"; }
  std::string Archive() const { return WorkingFolder() + "/SAP0421.zip"; }
  XMLCursorPtr Parsed() const { return testing::ParsedFile(ResultFile()); }

  static constexpr const char* kDropUser = "sitautopro";
  static constexpr const char* kDropPassword = "S1t-4utoPro";
  FtpTestServer images_;
  FtpTestServer drop_;
};

TEST_F(SitAutoProEndToEndTest, ExportsZipsAndSendsTheClientFile) {
  const testing::RunResult run = Run(Document(kCoordinates, kVehicles));
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");

  const std::string saved = ReadFile(ResultFile());
  EXPECT_EQ(ReadFile(WorkingFolder() + "/" + Names(WorkingFolder())[3]), saved);
  EXPECT_THAT(Names(WorkingFolder()), ElementsAre("ExpDatasSitAutoPro.xml", "SAP0421.xml",
                                                  "SAP0421.zip", StartsWith("SitAutoPro-")));
  // ISO-8859-15 bytes: é is 0xE9, € is 0xA4, É is 0xC9.
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n"
                                "<CLIENT CODE=\"SAP0421\"><COORDONNEES><RAISON_SOCIALE>Garage de "
                                "l'\xC9toile</RAISON_SOCIALE></COORDONNEES><ANNONCE>"));
  EXPECT_THAT(saved, HasSubstr("<PRIX>17 990 \xA4</PRIX>"));
  for (const char* hidden : {"CODECLIENT", "PRIX_ACHAT", "NOTE_INTERNE", "EQUTINTERIEUR",
                             "INFOCOMPLEMENT", "NOMPHOTO", "Liens", "Alias", "DataVO"})
    EXPECT_THAT(saved, Not(HasSubstr(hidden))) << hidden;

  XMLCursorPtr annonces = Parsed()->Select("/CLIENT/ANNONCE");
  ASSERT_EQ(annonces->Count(), 3);
  const std::vector<std::vector<std::string>> photos = {
      {"http://127.0.0.1/pixtrove/308_1.jpg", "http://127.0.0.1/pixtrove/308_2.jpg"},
      {},
      {"http://127.0.0.1/pixtrove/c3_lost.jpg"}};
  for (const auto& expected : photos) {
    std::vector<std::string> listed;
    for (XMLCursorPtr p = annonces->Select("PHOTOS/PHOTO"); !p->Eof(); p->Next())
      listed.push_back(p->GetValue("."));
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(annonces->Select("PHOTOS")->Count(), 1);
    XMLCursorPtr fields = annonces->Select("*");
    std::vector<std::string> names;
    for (; !fields->Eof(); fields->Next()) names.push_back(fields->NodeName());
    EXPECT_THAT(
        names,
        ElementsAre("REFERENCE", "CATEGORIE", "MARQUE", "MODELE", "VERSION", "GARANTIE",
                    "NB_PORTES", "PRIX", "PHOTOS", "AUTO_RADIO", "CLIMATISATION",
                    "DIRECTION_ASSISTEE", "FERMETURE_CENTRALISEE", "GPS", "ORDINATEUR_DE_BORD",
                    "PORTE_BAGAGE", "RETROVISEURS_ELECTRIQUES", "SIEGES_CHAUFFANTS",
                    "SIEGES_ELECTRIQUES", "TOIT_OUVRANT", "VITRES_ELECTRIQUES",
                    "VITRES_SURTEINTEES", "VOLANT_MULTIFONCTIONS", "ABS", "AIRBAGS_FRONTAUX",
                    "AIRBAGS_LATERAUX", "ALARME", "ANTI_DEMARRAGE", "ANTI_PATINAGE", "ESP",
                    "PHARES_ANTIBROUILLARD", "PROJECTEURS_XENON", "ATTELAGE", "JANTES",
                    "NON_FUMEUR", "REGULATEUR_DE_VITESSE", "TUNING"));
    annonces->Next();
  }
  annonces->First();
  EXPECT_EQ(annonces->GetValue("VERSION"), "1.2 PureTech Allure");
  EXPECT_EQ(annonces->GetValue("CATEGORIE"), "11100");
  EXPECT_EQ(annonces->GetValue("AUTO_RADIO"), "Radio CD");
  EXPECT_EQ(annonces->GetValue("CLIMATISATION"), "Climatisation Automatique");
  EXPECT_EQ(annonces->GetValue("NON_FUMEUR"), "O");

  // The archive holds the result file, byte for byte; the drop received the archive.
  EXPECT_TRUE(UnzipTestsOk(Archive()));
  EXPECT_THAT(ArchiveEntries(Archive()), ElementsAre("SAP0421.xml"));
  EXPECT_EQ(ArchiveEntry(Archive(), "SAP0421.xml"), saved);
  EXPECT_THAT(Names(drop_.Home()), ElementsAre("SAP0421.zip"));
  EXPECT_EQ(ReadFile(drop_.Home() + "/SAP0421.zip"), ReadFile(Archive()));

  // The photos the image server lacked reached it; c3_lost exists nowhere.
  const std::string image_folder = images_.Home() + "/www/pixtrove";
  EXPECT_THAT(Names(image_folder),
              ElementsAre("308_1.jpg", "308_1m.jpg", "308_2.jpg", "308_2m.jpg"));
  EXPECT_EQ(ReadFile(image_folder + "/308_1.jpg"), ReadFile(Photos() + "/308_1.jpg"));
  EXPECT_THAT(run.out, HasSubstr(" - Pb Existence : c3_lost.jpg\n"));

  EXPECT_THAT(LogLineTexts(RunLog("SITAUTOPRO")),
              ElementsAre("Nb Images Mises à jour : 2 photos --- ",
                          "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : "
                          "SAP0421.zip - 3 VO"));
  EXPECT_THAT(run.out, HasSubstr("\nFichier " + Archive() + " créé\n"));
  for (const std::string& text : {run.out, RunLog("SITAUTOPRO")}) {
    EXPECT_THAT(text, Not(HasSubstr(kDropPassword)));
    EXPECT_THAT(text, Not(HasSubstr(images_.options().password)));
  }
}

TEST_F(SitAutoProEndToEndTest, ClientCodeReadsBackUnchangedOrIsXXXXXX) {
  const std::string coordinates =
      "<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
      "<CODECLIENT>A&quot;B&amp;C</CODECLIENT></COORDONNEES></COORDONNEESS>";
  testing::RunResult run = Run(Document(coordinates, kVehicles));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Parsed()->GetValue("@CODE"), "A\"B&C");

  run = Run(Document("", kVehicles));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Parsed()->GetValue("@CODE"), "XXXXXX");
  EXPECT_EQ(Parsed()->Select("/CLIENT/ANNONCE")->Count(), 3);
}

TEST_F(SitAutoProEndToEndTest, VehicleWithoutInfoComplementIsRefusedBeforeAnyOutput) {
  const std::string broken = Vehicle("304", ";Clim;");  // no INFOCOMPLEMENT
  const testing::RunResult run = Run(Document(kCoordinates, kVehicles + broken));
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err,
              HasSubstr("Export refusé, " + WorkingFolder() +
                        "/ExpDatasSitAutoPro.xml : le véhicule REFERENCE 304 n'a pas d'élément "
                        "INFOCOMPLEMENT."));
  EXPECT_THAT(Names(WorkingFolder()), ElementsAre("ExpDatasSitAutoPro.xml"));
  EXPECT_TRUE(Names(drop_.Home()).empty());
}

}  // namespace
}  // namespace kalvex
