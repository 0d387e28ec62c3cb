#include "exports/classifieds_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "export_test_fixture.h"
#include "platform/code_page.h"
#include "platform/error.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

size_t Characters(const std::string& utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(ClassifiedTitleTest, LongHeadIsCutBeforeTheRefToFiftyCharacters) {
  const std::string brand(30, 'B');
  const std::string model(30, 'M');
  const std::string title = ClassifiedTitle(brand, model, "12345");
  EXPECT_EQ(title, std::string(30, 'B') + " MMMM" + "..." + " (ref:12345)");
  EXPECT_EQ(title.size(), 50u);
}

TEST(ClassifiedTitleTest, FiftyCharactersStayWhole) {
  // 37 + 13 characters.
  const std::string model(37 - 5, 'x');
  EXPECT_EQ(ClassifiedTitle("Audi", model, "123456"), "Audi " + model + " (ref:123456)");
  EXPECT_EQ(ClassifiedTitle("Audi", model + "y", "123456"),
            "Audi " + model.substr(0, 29) + "... (ref:123456)");
  EXPECT_EQ(ClassifiedTitle("Kia", "Rio", "7"), "Kia Rio (ref:7)");
}

TEST(ClassifiedTitleTest, AccentedTitlesCountAndCutCharactersNotBytes) {
  // 40 + 10 characters, far more bytes: whole.
  const std::string model = "Évasion Édition Spéciale été    ";
  const std::string whole = ClassifiedTitle("Citroën", model, "123");
  EXPECT_EQ(whole, "Citroën " + model + " (ref:123)");
  EXPECT_EQ(Characters(whole), 50u);
  EXPECT_GT(whole.size(), 50u);

  // Cut after 37 characters, inside a run of two-byte letters.
  const std::string cut = ClassifiedTitle("Citroën", "Édition " + Repeat("é", 40), "123");
  EXPECT_EQ(cut, "Citroën Édition " + Repeat("é", 21) + "... (ref:123)");
  EXPECT_EQ(Characters(cut), 50u);
  EXPECT_TRUE(IsValidUtf8(cut));
}

TEST(ClassifiedTitleTest, RefTooLongToStayWholeNeverGoesOverFifty) {
  // A 43-character identifier gives a ref of 50 characters.
  const std::string id(43, '9');
  const std::string title = ClassifiedTitle("Renault", "Clio", id);
  EXPECT_EQ(title, "Renault Clio (ref:" + std::string(29, '9') + "...");
  EXPECT_EQ(title.size(), 50u);
  // A ref of exactly 47 characters keeps all of it behind "...".
  const std::string id40(40, '1');
  EXPECT_EQ(ClassifiedTitle("Renault", "Clio", id40), "... (ref:" + id40 + ")");
}

// Vehicle 501 has everything; vehicle 502 has no equipment, extra list or warranty and
// lacks Titre, Texte and the photo slots.
const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n"
    "<document>\n"
    "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\n"
    "<DataVO><idNVO>501</idNVO><InfoMarque>Peugeot</InfoMarque>"
    "<ModeleVersion>3008 BlueHDi Allure</ModeleVersion><Carrosserie>SUV</Carrosserie>"
    "<Puissance>6</Puissance><Couleur>Gris</Couleur><BoiteVitesse>Manuelle</BoiteVitesse>"
    "<MEC>03/2018</MEC><Garantie> 12 mois </Garantie><Contact>M. Girard</Contact>"
    "<Telephone>04.76.12.34.56</Telephone>"
    "<EqutInterieur>;Clim;GPS;</EqutInterieur><EqutExterieur>;JantAll;</EqutExterieur>"
    "<Prive>marge 900 €</Prive><EqutSecurite>;ABS;</EqutSecurite>"
    "<InfoComplement>;VNF;</InfoComplement><Prix>17 490 €</Prix>"
    "<Titre></Titre><Texte></Texte><photo1></photo1><photo2></photo2><photo3></photo3>"
    "<photo4></photo4><photo5></photo5><photo6></photo6></DataVO>\n"
    "<DataVO><idNVO>502</idNVO><InfoMarque>Dacia</InfoMarque>"
    "<ModeleVersion>Sandero</ModeleVersion><Carrosserie>Berline</Carrosserie>"
    "<Puissance>4</Puissance><Couleur>Blanc</Couleur><BoiteVitesse>Manuelle</BoiteVitesse>"
    "<MEC>07/2014</MEC><Garantie></Garantie><Contact>Mme Roux</Contact>"
    "<Telephone>0476000000</Telephone>"
    "<EqutInterieur></EqutInterieur><EqutExterieur></EqutExterieur>"
    "<EqutSecurite></EqutSecurite><InfoComplement></InfoComplement></DataVO>\n"
    "</DataVOS>\n"
    "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\n"
    "<LiensImages><idNVO>501</idNVO><NomImage>501_1</NomImage></LiensImages>\n"
    "<LiensImages><idNVO>502</idNVO><NomImage>502_1</NomImage></LiensImages>\n"
    "<LiensImages><idNVO>501</idNVO><NomImage>501_2</NomImage></LiensImages>\n"
    "<LiensImages><idNVO>900</idNVO><NomImage>sold</NomImage></LiensImages>\n"
    "</LiensImagesS>\n"
    "<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\n"
    "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
    "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>\n"
    "<LiensEquipements><AbbrEquip>GPS</AbbrEquip>"
    "<LibelleEquipement>GPS</LibelleEquipement></LiensEquipements>\n"
    "<LiensEquipements><AbbrEquip>JANTALL</AbbrEquip>"
    "<LibelleEquipement>Jantes alliage</LibelleEquipement></LiensEquipements>\n"
    "<LiensEquipements><AbbrEquip>ABS</AbbrEquip>"
    "<LibelleEquipement>ABS</LibelleEquipement></LiensEquipements>\n"
    "<LiensEquipements><AbbrEquip>VNF</AbbrEquip>"
    "<LibelleEquipement>Véhicule non fumeur</LibelleEquipement></LiensEquipements>\n"
    "<LiensEquipements><AbbrEquip>GAR</AbbrEquip>"
    "<LibelleEquipement>Sous Garantie</LibelleEquipement></LiensEquipements>\n"
    "</LiensEquipementsS>\n"
    "<Aliases><Alias Nom=\"VO\">DataVO</Alias></Aliases>\n"
    "</document>\n";

struct PortalCase {
  const char* code;
  const char* name;
  const char* other_code;
};
void PrintTo(const PortalCase& portal, std::ostream* out) { *out << portal.name; }

class ClassifiedsExportTest : public ::testing::TestWithParam<PortalCase>,
                              public testing::ExportFixture {
 protected:
  ClassifiedsExportTest() {
    photos_.sent = [](const std::string& photo) { return photo == "501_2.jpg"; };
  }
  // Both portal sections, each with its own drop server; `user` goes to this portal's.
  std::string IniFor(const std::string& user) const {
    return "[Options]\nPathImages=/nowhere\nURLImages=http://127.0.0.1/pixtrove\n[" +
           std::string(GetParam().code) + "]\nServeurFTP=127.0.0.1:2101\n" + user + "[" +
           GetParam().other_code + "]\nServeurFTP=127.0.0.1:2102\nUser=other\n";
  }
  void WriteDocument(const std::string& utf8_text) {
    ExportFixture::WriteDocument(GetParam().name, utf8_text);
  }
  std::string Output(const char* extension) const {
    return WorkingFolder() + "/" + GetParam().name + "_20261209." + extension;
  }
  std::string Shown(const char* extension) const {
    return dir_.path() + "/TEMP/Kalvex/" + GetParam().name + "_20261209." + extension;
  }
  void Run() { driver_.RunExport(GetParam().name); }
};

INSTANTIATE_TEST_SUITE_P(Portals, ClassifiedsExportTest,
                         ::testing::Values(PortalCase{"LEBONCOIN", "LeBonCoin", "INFOPRESS"},
                                           PortalCase{"INFOPRESS", "InfoPress", "LEBONCOIN"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ClassifiedsExportTest, WritesTheAdFileOfItsOwnDocumentAndSection) {
  UseIni(IniFor("User=depot\n"));
  WriteDocument(kDocument);
  Run();

  EXPECT_TRUE(window_.AutoClose());
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:2101");
  EXPECT_EQ(state_.vehicle_counter, 2);
  EXPECT_EQ(state_.photo_counter, 4);
  EXPECT_THAT(photos_.synced, ElementsAre("501_1.jpg", "502_1.jpg", "501_2.jpg", "sold.jpg"));

  const std::string saved = testing::ReadFile(Output("xml"));
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"));
  EXPECT_THAT(saved, HasSubstr("<Prix>17 490 \xA4</Prix>"));  // "€" in ISO-8859-15
  for (const char* gone :
       {"Equt", "InfoComplement", "Prive", "DataVO", "document", "Liens", "Alias", "sold"})
    EXPECT_THAT(saved, ::testing::Not(HasSubstr(gone))) << gone;

  XMLCursorPtr file = CreateXMLCursor();
  file->Load(Output("xml"));
  XMLCursorPtr ads = file->Select("/annonces/annonce");
  ASSERT_EQ(ads->Count(), 2);
  EXPECT_EQ(ads->GetValue("Titre"), "Peugeot 3008 BlueHDi Allure (ref:501)");
  EXPECT_EQ(ads->GetValue("Texte"),
            "Peugeot 3008 BlueHDi Allure (ref:501)\r\n\r\n"
            "Carrosserie : SUV\r\n"
            "Puissance : 6 CV\r\n"
            "Couleur : Gris\r\n"
            "Boite : Manuelle\r\n"
            "Mise en Circulation : 03/2018\r\n\r\n"
            " - Equipements Intérieurs : Climatisation, GPS\r\n\r\n"
            " - Equipements Extérieurs : Jantes alliage\r\n\r\n"
            " - Equipements Sécurité : ABS\r\n\r\n"
            " - Véhicule non fumeur, Garantie : 12 mois\r\n"
            "\r\nContactez M. Girard au 04.76.12.34.56\r\n\r\n");
  EXPECT_EQ(ads->GetValue("Telephone"), "0476123456");
  EXPECT_EQ(ads->GetValue("Garantie"), "12 mois");
  // The fields keep their input order; the span is gone, the slots keep their names.
  EXPECT_THAT(ads->XML(),
              HasSubstr("<Telephone>0476123456</Telephone><Prix>17 490 €</Prix><Titre>"));
  EXPECT_THAT(ads->XML(), HasSubstr("<photo1>http://127.0.0.1/pixtrove/501_1.jpg</photo1>"
                                    "<photo2>http://127.0.0.1/pixtrove/501_2.jpg</photo2>"
                                    "<photo3></photo3><photo4></photo4><photo5></photo5>"
                                    "<photo6></photo6></annonce>"));

  ads->Next();
  // Items 1 to 6 and 11 only; the fields it lacked are appended in writing order.
  EXPECT_EQ(ads->GetValue("Texte"),
            "Dacia Sandero (ref:502)\r\n\r\nCarrosserie : Berline\r\nPuissance : 4 CV\r\n"
            "Couleur : Blanc\r\nBoite : Manuelle\r\nMise en Circulation : 07/2014\r\n\r\n"
            "\r\nContactez Mme Roux au 0476000000\r\n\r\n");
  EXPECT_THAT(ads->XML(), HasSubstr("<Telephone>0476000000</Telephone><Titre>Dacia Sandero "
                                    "(ref:502)</Titre><Texte>"));
  EXPECT_THAT(ads->XML(), HasSubstr("</Texte><photo1>http://127.0.0.1/pixtrove/502_1.jpg</photo1>"
                                    "</annonce>"));

  // The archive, the log restarted before the summary, the upload line.
  EXPECT_TRUE(testing::PathExists(Output("zip")));
  EXPECT_FALSE(testing::PathExists(WorkingFolder() + "/ExpDatas" + GetParam().other_code + ".xml"));
  const std::string upload =
      "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
      "transmis sur site FTP : " +
      std::string(GetParam().name) + "_20261209.zip - 2 VO";
  EXPECT_THAT(LogTexts(testing::ReadFile(LogFile(GetParam().code))),
              ElementsAre("Nb Images Mises à jour : 1 photos --- ", upload));
  // The memo from the reloaded result on: its after-line, the archive, the summary.
  const std::vector<std::string> memo = MemoTexts();
  const auto result = std::find_if(memo.begin(), memo.end(), [](const std::string& line) {
    return line.starts_with("Result : ");
  });
  ASSERT_NE(result, memo.end());
  EXPECT_THAT(*result, StartsWith("Result : <?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"));
  EXPECT_THAT(std::vector<std::string>(result + 1, memo.end()),
              ElementsAre("Après Remplacements", "Avant Enregistrement",
                          "Fichier " + Shown("zip") + " créé", "-> ",
                          "Nb Images Mises à jour : 1 photos --- ", upload));
}

TEST_P(ClassifiedsExportTest, WithoutUserTheArchiveStaysAndTheRunEndsNormally) {
  UseIni(IniFor(""));
  WriteDocument(kDocument);
  photos_.sent = nullptr;
  Run();
  EXPECT_TRUE(window_.AutoClose());
  EXPECT_EQ(window_.Text(WindowField::kParamUser), "");
  EXPECT_TRUE(testing::PathExists(Output("zip")));
  EXPECT_THAT(MemoTexts(), ::testing::Not(::testing::Contains(HasSubstr("Transfert FTP"))));
  // No photo sent and no upload: the restarted log stays empty.
  EXPECT_THAT(LogTexts(testing::ReadFile(LogFile(GetParam().code))), ::testing::IsEmpty());
}

// Vehicles the span cut cannot take whole: the run ends naming the vehicle, with
// nothing written and no photo sent.
TEST_P(ClassifiedsExportTest, VehicleOutOfShapeIsRefusedBeforeAnyOutput) {
  const std::string head = std::string("<?xml version=\"1.0\"?><document>") +
                           "<DataVOS EOF=\"False\" RecordName=\"DataVO\">"
                           "<DataVO><idNVO>1</idNVO><EqutInterieur></EqutInterieur>"
                           "<InfoComplement></InfoComplement></DataVO>"
                           "<DataVO><idNVO>77</idNVO>";
  const std::string tail =
      "</DataVO></DataVOS><LiensImagesS><LiensImages><idNVO>1</idNVO>"
      "<NomImage>p</NomImage></LiensImages></LiensImagesS></document>";
  const std::string document =
      dir_.path() + "/TEMP/Kalvex/ExpDatas" + std::string(GetParam().name) + ".xml";
  const std::pair<const char*, std::string> cases[] = {
      {"<InfoComplement>;VNF;</InfoComplement>",
       "le véhicule idNVO 77 n'a pas d'élément EqutInterieur"},
      {"<EqutInterieur>;Clim;</EqutInterieur>",
       "le véhicule idNVO 77 n'a pas d'élément InfoComplement"},
      {"<InfoComplement>;VNF;</InfoComplement><EqutInterieur>;Clim;</EqutInterieur>",
       "le véhicule idNVO 77 a ses éléments EqutInterieur et InfoComplement dans le désordre"},
  };
  UseIni(IniFor("User=depot\n"));
  for (const auto& [fields, what] : cases) {
    WriteDocument(head + fields + tail);
    try {
      Run();
      FAIL() << "no error for " << fields;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Export refusé, " + document + " : " + what + ".");
    }
    EXPECT_FALSE(testing::PathExists(Output("xml")));
    EXPECT_FALSE(testing::PathExists(Output("zip")));
    EXPECT_THAT(photos_.synced, ::testing::IsEmpty());
    EXPECT_FALSE(window_.AutoClose());
  }
}

}  // namespace
}  // namespace kalvex
