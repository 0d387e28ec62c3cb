#include "exports/sit_auto_pro_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <utility>

#include "export_test_fixture.h"
#include "zip/zip_builder.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::PathExists;
using testing::ReadFile;
using ::testing::StartsWith;

constexpr char kSlots[] =
    "<NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
    "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6>";

// A vehicle record with the given code lists, the private field PRIX_ACHAT inside the
// span that the portal file must never show, and the six empty photo slots.
std::string Vehicle(int reference, const std::string& interior, const std::string& exterior = "",
                    const std::string& safety = "", const std::string& extra = "") {
  const std::string ref = std::to_string(reference);
  return "<DataVO><REFERENCE>" + ref +
         "</REFERENCE><CATEGORIE>Coupé</CATEGORIE><MODELE>Mégane</MODELE>"
         "<VERSION>Mégane Coupé 1.5 dCi</VERSION><GARANTIE>12 mois</GARANTIE>"
         "<NB_PORTES>3 portes avec hayon</NB_PORTES><PRIX>10 500 €</PRIX>"
         "<EQUTINTERIEUR>" +
         interior + "</EQUTINTERIEUR><EQUTEXTERIEUR>" + exterior +
         "</EQUTEXTERIEUR><PRIX_ACHAT>8 000</PRIX_ACHAT><EQUTSECURITE>" + safety +
         "</EQUTSECURITE><INFOCOMPLEMENT>" + extra + "</INFOCOMPLEMENT>" + kSlots + "</DataVO>";
}

std::string Document(const std::string& vehicles, const std::string& links = "",
                     const std::string& coordinates =
                         "<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
                         "<CODECLIENT>SAP0421</CODECLIENT><VILLE>Lyon</VILLE></COORDONNEES>"
                         "</COORDONNEESS>") {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><document>" + coordinates +
         "<DataVOS EOF=\"False\" RecordName=\"DataVO\">" + vehicles +
         "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">" + links +
         "</LiensImagesS><LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">"
         "</LiensEquipementsS><Aliases><Alias>VO</Alias></Aliases></document>";
}

std::string Link(int reference, const std::string& image) {
  return "<LiensImages><idNVO>" + std::to_string(reference) + "</idNVO><NomImage>" + image +
         "</NomImage></LiensImages>";
}

constexpr char kIni[] =
    "[Options]\nURLImages=http://127.0.0.1/pix\n"
    "[SITAUTOPRO]\nFileResult=SAP0421.xml\nFileResultZip=SAP0421.zip\n"
    "ServeurFTP=127.0.0.1:9\nUser=sap\n";

class SitAutoProExportTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  SitAutoProExportTest() { UseIni(kIni); }

  std::string ResultFile() const { return WorkingFolder() + "/SAP0421.xml"; }
  std::string DatedFile() const { return WorkingFolder() + "/SitAutoPro-20261209.xml"; }
  std::string Archive() const { return WorkingFolder() + "/SAP0421.zip"; }

  // The portal file, parsed back.
  XMLCursorPtr Result() const { return testing::ParsedFile(ResultFile()); }
};

TEST_F(SitAutoProExportTest, RunWritesZipsAndSendsTheClientFile) {
  photos_.sent = [](const std::string& name) { return name == "301_1.jpg"; };
  WriteDocument(
      "SitAutoPro",
      Document(Vehicle(301, ";ClimAuto;RadCD;DirAss;Clim;", ";JantAll;", ";ABS;", ";VNF;") +
                   Vehicle(302, ""),
               Link(301, "301_1") + Link(301, "301_2") + Link(301, "301_3") + Link(999, "sold")));
  driver_.RunExport("SitAutoPro");

  EXPECT_TRUE(window_.AutoClose());
  EXPECT_THAT(photos_.synced, ElementsAre("301_1.jpg", "301_2.jpg", "301_3.jpg", "sold.jpg"));
  const std::string saved = ReadFile(ResultFile());
  EXPECT_EQ(ReadFile(DatedFile()), saved);
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n"
                                "<CLIENT CODE=\"SAP0421\"><COORDONNEES><VILLE>Lyon</VILLE>"
                                "</COORDONNEES><ANNONCE>"));
  // Three photos listed, the empty slots gone; the span with the purchase price gone;
  // the 28 equipment elements in order.
  EXPECT_THAT(
      saved,
      HasSubstr("<ANNONCE><REFERENCE>301</REFERENCE><CATEGORIE>11500</CATEGORIE>"
                "<MODELE>M\xE9gane</MODELE><VERSION>Coup\xE9 1.5 dCi</VERSION>"
                "<GARANTIE>12</GARANTIE><NB_PORTES>3</NB_PORTES><PRIX>10 500 \xA4</PRIX>"
                "<PHOTOS><PHOTO>http://127.0.0.1/pix/301_1.jpg</PHOTO>"
                "<PHOTO>http://127.0.0.1/pix/301_2.jpg</PHOTO>"
                "<PHOTO>http://127.0.0.1/pix/301_3.jpg</PHOTO></PHOTOS>"
                "<AUTO_RADIO>Radio CD</AUTO_RADIO>"
                "<CLIMATISATION>Climatisation Automatique</CLIMATISATION>"
                "<DIRECTION_ASSISTEE>O</DIRECTION_ASSISTEE>"
                "<FERMETURE_CENTRALISEE>N</FERMETURE_CENTRALISEE><GPS></GPS>"
                "<ORDINATEUR_DE_BORD>N</ORDINATEUR_DE_BORD><PORTE_BAGAGE>N</PORTE_BAGAGE>"
                "<RETROVISEURS_ELECTRIQUES>N</RETROVISEURS_ELECTRIQUES>"
                "<SIEGES_CHAUFFANTS>N</SIEGES_CHAUFFANTS>"
                "<SIEGES_ELECTRIQUES>N</SIEGES_ELECTRIQUES><TOIT_OUVRANT>N</TOIT_OUVRANT>"
                "<VITRES_ELECTRIQUES>N</VITRES_ELECTRIQUES>"
                "<VITRES_SURTEINTEES>N</VITRES_SURTEINTEES>"
                "<VOLANT_MULTIFONCTIONS>N</VOLANT_MULTIFONCTIONS><ABS>O</ABS>"
                "<AIRBAGS_FRONTAUX>N</AIRBAGS_FRONTAUX><AIRBAGS_LATERAUX>N</AIRBAGS_LATERAUX>"
                "<ALARME>N</ALARME><ANTI_DEMARRAGE>N</ANTI_DEMARRAGE>"
                "<ANTI_PATINAGE>N</ANTI_PATINAGE><ESP>N</ESP>"
                "<PHARES_ANTIBROUILLARD>N</PHARES_ANTIBROUILLARD>"
                "<PROJECTEURS_XENON>N</PROJECTEURS_XENON><ATTELAGE>N</ATTELAGE>"
                "<JANTES>alliage</JANTES><NON_FUMEUR>O</NON_FUMEUR>"
                "<REGULATEUR_DE_VITESSE>N</REGULATEUR_DE_VITESSE><TUNING>N</TUNING>"
                "</ANNONCE>"));
  // No photo: an empty list; empty code lists: empty flags.
  EXPECT_THAT(saved, HasSubstr("<PHOTOS></PHOTOS><AUTO_RADIO></AUTO_RADIO>"
                               "<CLIMATISATION></CLIMATISATION><DIRECTION_ASSISTEE>"
                               "</DIRECTION_ASSISTEE>"));
  EXPECT_THAT(saved, Not(HasSubstr("PRIX_ACHAT")));
  EXPECT_THAT(saved, Not(HasSubstr("CODECLIENT")));
  EXPECT_THAT(saved, Not(HasSubstr("sold")));

  TZip archive(front_end_);
  archive.SetZipFileName(Archive());
  ASSERT_EQ(archive.Count(), 1);
  EXPECT_EQ(archive.Contents()[0].file_name, "SAP0421.xml");

  EXPECT_THAT(LogTexts(ReadFile(LogFile("SITAUTOPRO"))),
              ElementsAre("Nb Images Mises à jour : 1 photos --- ",
                          "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : SAP0421.zip - 2 VO"));
  std::vector<std::string> memo = MemoTexts();
  ASSERT_EQ(memo.size(), 14u);
  memo[7] = "Result : ...";
  EXPECT_THAT(
      memo,
      ElementsAre("-> ", "Après premier Select DataVO", "Après premier Select LiensImages",
                  "Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
                  "Après Suppression LiensImages & LiensEquipements & Aliases", "Après Aliases",
                  "Result : ...", "Après Remplacements", "Avant Enregistrement",
                  "Fichier " + Archive() + " créé", "-> ", "Nb Images Mises à jour : 1 photos --- ",
                  "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                  "transmis sur site FTP : SAP0421.zip - 2 VO"));
}

TEST_F(SitAutoProExportTest, RadioAndAirConditioningWords) {
  struct Case {
    const char* interior;
    const char* radio;
    const char* climate;
  };
  const Case cases[] = {
      {";RadCass;RadCD;", "Radio K7", ""},
      {";RadMP3;Clim;", "Radio MP3", "Climatisation"},
      {";ClimAuto;", "N", "Climatisation Automatique"},
      {";Clim;ClimAuto;GPS;", "N", "Climatisation Automatique"},
      {"", "", ""},
  };
  std::string vehicles;
  for (int i = 0; i < 5; ++i) vehicles += Vehicle(i + 1, cases[i].interior);
  WriteDocument("SitAutoPro", Document(vehicles));
  driver_.RunExport("SITAUTOPRO");
  XMLCursorPtr annonces = Result()->Select("/CLIENT/ANNONCE");
  ASSERT_EQ(annonces->Count(), 5);
  for (const Case& c : cases) {
    EXPECT_EQ(annonces->GetValue("AUTO_RADIO"), c.radio) << c.interior;
    EXPECT_EQ(annonces->GetValue("CLIMATISATION"), c.climate) << c.interior;
    EXPECT_EQ(annonces->GetValue("GPS"), "") << c.interior;
    annonces->Next();
  }
}

TEST_F(SitAutoProExportTest, ClientCodeIsEscapedOrXXXXXXWithoutCoordinates) {
  const std::string code = "A\"B&C<D>\tE";
  WriteDocument("SitAutoPro",
                Document(Vehicle(1, ";Clim;"), "",
                         "<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
                         "<CODECLIENT>A&quot;B&amp;C&lt;D&gt;&#9;E</CODECLIENT></COORDONNEES>"
                         "</COORDONNEESS>"));
  driver_.RunExport("SITAUTOPRO");
  EXPECT_EQ(Result()->GetValue("@CODE"), code);
  EXPECT_EQ(Result()->Select("/CLIENT/@*")->Count(), 1);

  for (const char* coordinates :
       {"<COORDONNEESS EOF=\"True\" RecordName=\"COORDONNEES\"></COORDONNEESS>", ""}) {
    WriteDocument("SitAutoPro", Document(Vehicle(1, ";Clim;"), "", coordinates));
    driver_.RunExport("SITAUTOPRO");
    XMLCursorPtr result = Result();
    EXPECT_EQ(result->NodeName(), "CLIENT") << coordinates;
    EXPECT_EQ(result->GetValue("@CODE"), "XXXXXX") << coordinates;
    EXPECT_EQ(result->Select("ANNONCE")->Count(), 1) << coordinates;
  }
}

TEST_F(SitAutoProExportTest, NoPhotoSentLeavesOnlyTheUploadLineInTheLog) {
  WriteDocument("SitAutoPro", Document("", Link(7, "nobody")));
  driver_.RunExport("SITAUTOPRO");
  EXPECT_THAT(ReadFile(ResultFile()), HasSubstr("<CLIENT CODE=\"SAP0421\"><COORDONNEES>"
                                                "<VILLE>Lyon</VILLE></COORDONNEES></CLIENT>"));
  EXPECT_THAT(LogTexts(ReadFile(LogFile("SITAUTOPRO"))),
              ElementsAre(HasSubstr("SAP0421.zip - 0 VO")));
}

// Documents the text rewrite cannot take whole, and the error each one ends the run with.
struct Refusal {
  std::string vehicles;
  std::string message;
};

class SitAutoProRefusalTest : public SitAutoProExportTest,
                              public ::testing::WithParamInterface<Refusal> {};

TEST_P(SitAutoProRefusalTest, EndsTheRunBeforeAnyOutput) {
  WriteDocument("SitAutoPro", Document(Vehicle(1, ";Clim;") + GetParam().vehicles));
  const std::string document = WorkingFolder() + "/ExpDatasSitAutoPro.xml";
  try {
    driver_.RunExport("SITAUTOPRO");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), "Export refusé, " + document + " : " + GetParam().message + ".");
  }
  EXPECT_FALSE(PathExists(ResultFile()));
  EXPECT_FALSE(PathExists(DatedFile()));
  EXPECT_FALSE(PathExists(Archive()));
  EXPECT_FALSE(window_.AutoClose());
}

std::string Without(std::string text, const std::string& piece) {
  return text.erase(text.find(piece), piece.size());
}

std::string WithAtEnd(std::string vehicle, const std::string& piece) {
  return vehicle.insert(vehicle.rfind("</DataVO>"), piece);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SitAutoProRefusalTest,
    ::testing::Values(
        Refusal{Without(Vehicle(2, ""), "<INFOCOMPLEMENT></INFOCOMPLEMENT>"),
                "le véhicule REFERENCE 2 n'a pas d'élément INFOCOMPLEMENT"},
        Refusal{Without(Vehicle(3, ""), "<EQUTINTERIEUR></EQUTINTERIEUR>"),
                "le véhicule REFERENCE 3 n'a pas d'élément EQUTINTERIEUR"},
        Refusal{"<DataVO><REFERENCE>4</REFERENCE><INFOCOMPLEMENT></INFOCOMPLEMENT><NOTE>privé"
                "</NOTE><EQUTINTERIEUR></EQUTINTERIEUR>" +
                    std::string(kSlots) + "</DataVO>",
                "le véhicule REFERENCE 4 a ses éléments EQUTINTERIEUR et INFOCOMPLEMENT dans le "
                "désordre"},
        Refusal{Without(Vehicle(5, ""), "<NOMPHOTO3></NOMPHOTO3>"),
                "le véhicule REFERENCE 5 n'a pas d'élément NOMPHOTO3"},
        Refusal{"<DataVO><REFERENCE>6</REFERENCE><EQUTINTERIEUR></EQUTINTERIEUR>"
                "<INFOCOMPLEMENT></INFOCOMPLEMENT><NOMPHOTO2></NOMPHOTO2><NOMPHOTO1></NOMPHOTO1>"
                "<NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5>"
                "<NOMPHOTO6></NOMPHOTO6></DataVO>",
                "le véhicule REFERENCE 6 n'a pas ses éléments NOMPHOTO1 à NOMPHOTO6 à la suite et "
                "dans l'ordre"},
        Refusal{WithAtEnd(Vehicle(7, ""), "<NOTE><INFOCOMPLEMENT>x</INFOCOMPLEMENT></NOTE>"),
                "un élément INFOCOMPLEMENT se trouve hors des champs d'un véhicule"},
        Refusal{WithAtEnd(Vehicle(8, ""), "<NOTE><EQUTINTERIEUR></EQUTINTERIEUR></NOTE>"),
                "un élément EQUTINTERIEUR se trouve hors des champs d'un véhicule"},
        // In a namespace the tag reads the same in the text; the first in document order.
        Refusal{WithAtEnd(
                    Vehicle(9, ""),
                    "<NOTE xmlns=\"urn:n\"><INFOCOMPLEMENT/></NOTE><NOTE><EQUTINTERIEUR/></NOTE>"),
                "un élément INFOCOMPLEMENT se trouve hors des champs d'un véhicule"}));

// The root may hold only the record sets the file is made of and those removed before
// output, once each; anything else would stand beside CLIENT after the rewrite. Refused
// right after the load: no photo is sent, nothing is written.
TEST_F(SitAutoProExportTest, RootHoldsOnlyTheSetsTheFileIsMadeOf) {
  const std::string base = Document(Vehicle(1, ";Clim;"), Link(1, "1_1"));
  const std::string head = "<document>";
  auto after_head = [&](const std::string& piece) {
    std::string text = base;
    return text.insert(text.find(head) + head.size(), piece);
  };
  auto without = [&](const std::string& from, const std::string& to) {
    std::string text = base;
    const size_t at = text.find(from);
    return text.erase(at, text.find(to, at) + to.size() - at);
  };
  const std::pair<std::string, std::string> cases[] = {
      {after_head("<AgenceS EOF=\"False\" RecordName=\"Agence\"><Agence/></AgenceS>"),
       "l'élément AgenceS se trouve sous document, qui ne peut contenir que DataVOS, "
       "COORDONNEESS, LiensImagesS, LiensEquipementsS et Aliases"},
      {after_head("<DataVOS EOF=\"False\" RecordName=\"DataVO\"/>"),
       "l'élément DataVOS figure plus d'une fois sous document"},
      {after_head("<Aliases/>"), "l'élément Aliases figure plus d'une fois sous document"},
      {after_head("texte"), "du texte se trouve sous document hors de tout élément"},
      {without("<DataVOS", "</DataVOS>"), "l'élément document n'a pas d'élément DataVOS"},
  };
  for (const auto& [text, what] : cases) {
    WriteDocument("SitAutoPro", text);
    try {
      driver_.RunExport("SITAUTOPRO");
      FAIL() << "accepted: " << text;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(),
                "Export refusé, " + WorkingFolder() + "/ExpDatasSitAutoPro.xml : " + what + ".");
    }
    EXPECT_THAT(photos_.synced, ::testing::IsEmpty());
    EXPECT_FALSE(PathExists(DatedFile()));
    EXPECT_FALSE(PathExists(ResultFile()));
  }
  // A comment beside the sets stays outside CLIENT, where it may.
  WriteDocument("SitAutoPro", after_head("<!-- export du soir -->"));
  driver_.RunExport("SITAUTOPRO");
  EXPECT_TRUE(window_.AutoClose());
}

TEST_F(SitAutoProExportTest, ResultNamesMustStayInTheWorkingFolder) {
  UseIni("[SITAUTOPRO]\nFileResult=..\\..\\etc\\passwd\n");
  WriteDocument("SitAutoPro", Document(Vehicle(1, "")));
  try {
    driver_.RunExport("SITAUTOPRO");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), StartsWith("Nom de fichier refusé dans Kalvex.ini, [SITAUTOPRO] "
                                     "FileResult=..\\..\\etc\\passwd : "));
  }
  EXPECT_FALSE(PathExists(DatedFile()));
}

// A result name that another file of the run already bears would overwrite it (the
// vehicle data document, the dated file) or leave one file for two: refused first.
TEST_F(SitAutoProExportTest, ResultNamesThatAnotherFileBearsAreRefusedBeforeAnyOutput) {
  const std::pair<std::string, std::string> cases[] = {
      {"FileResult=expdatasSITAUTOPRO.XML\nFileResultZip=r.zip",
       "FileResult=expdatasSITAUTOPRO.XML : ce nom est déjà pris par le document des véhicules "
       "ExpDatasSitAutoPro.xml"},
      {"FileResult=r.xml\nFileResultZip=ExpDatasParuVendu.xml",
       "FileResultZip=ExpDatasParuVendu.xml : ce nom est déjà pris par le document des "
       "véhicules ExpDatasParuVendu.xml"},
      {"FileResult=r.xml\nFileResultZip=sitautopro-20261209.xml",
       "FileResultZip=sitautopro-20261209.xml : ce nom est déjà pris par la copie datée "
       "SitAutoPro-20261209.xml"},
      {"FileResult=Same.xml\nFileResultZip=SAME.xml",
       "FileResultZip=SAME.xml : ce nom est déjà pris par le fichier de [SITAUTOPRO] "
       "FileResult=Same.xml"}};
  WriteDocument("SitAutoPro", Document(Vehicle(1, "")));
  const std::string document = ReadFile(WorkingFolder() + "/ExpDatasSitAutoPro.xml");
  for (const auto& [keys, message] : cases) {
    UseIni("[SITAUTOPRO]\n" + keys + "\n");
    try {
      driver_.RunExport("SITAUTOPRO");
      ADD_FAILURE() << keys << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), "Nom de fichier refusé dans Kalvex.ini, [SITAUTOPRO] " + message +
                              " dans le dossier de travail ; chaque fichier de l'export doit "
                              "avoir son propre nom (majuscules et minuscules confondues)");
    }
    EXPECT_EQ(ReadFile(WorkingFolder() + "/ExpDatasSitAutoPro.xml"), document);
    EXPECT_FALSE(PathExists(DatedFile())) << keys;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(WorkingFolder()), {}), 1) << keys;
  }
}

}  // namespace
}  // namespace kalvex
