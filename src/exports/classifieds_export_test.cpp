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

TEST(ClassifiedTitleTest, CutsTheHeadBeforeTheRefToFiftyCharacters) {
  // Brand and model of 30 characters, a ref of 12: 35 characters, "...", the ref.
  EXPECT_EQ(ClassifiedTitle(std::string(30, 'B'), std::string(30, 'M'), "12345"),
            std::string(30, 'B') + " MMMM... (ref:12345)");
  // Exactly 50 (37 + 13) stays whole; one more is cut.
  const std::string model(32, 'x');
  EXPECT_EQ(ClassifiedTitle("Audi", model, "123456"), "Audi " + model + " (ref:123456)");
  EXPECT_EQ(ClassifiedTitle("Audi", model + "y", "123456"),
            "Audi " + model.substr(0, 29) + "... (ref:123456)");
  // A ref of 50 characters: the first 47 of the title, then "...". One of 47 stays whole.
  EXPECT_EQ(ClassifiedTitle("Renault", "Clio", std::string(43, '9')),
            "Renault Clio (ref:" + std::string(29, '9') + "...");
  EXPECT_EQ(ClassifiedTitle("Renault", "Clio", std::string(40, '1')),
            "... (ref:" + std::string(40, '1') + ")");
}

TEST(ClassifiedTitleTest, CountsAndCutsCharactersNotBytes) {
  // 40 + 10 characters in far more bytes: whole.
  const std::string model = "Évasion Édition Spéciale été    ";
  const std::string whole = ClassifiedTitle("Citroën", model, "123");
  EXPECT_EQ(whole, "Citroën " + model + " (ref:123)");
  EXPECT_EQ(Characters(whole), 50u);
  // Cut after 37 characters, inside a run of two-byte letters.
  const std::string cut = ClassifiedTitle("Citroën", "Édition " + Repeat("é", 40), "123");
  EXPECT_EQ(cut, "Citroën Édition " + Repeat("é", 21) + "... (ref:123)");
  EXPECT_TRUE(IsValidUtf8(cut));
}

// A document of one vehicle, idNVO 77, with these fields, and one photo link.
std::string OneVehicle(const std::string& fields) {
  return "<?xml version=\"1.0\"?><document><DataVOS EOF=\"False\" RecordName=\"DataVO\">"
         "<DataVO><idNVO>77</idNVO>" +
         fields +
         "</DataVO></DataVOS><LiensImagesS><LiensImages><idNVO>77</idNVO>"
         "<NomImage>p</NomImage></LiensImages></LiensImagesS></document>";
}

struct PortalCase {
  const char* code;
  const char* name;
  const char* other_code;
  const char* first_id;      // of the portal's sample document
  const char* contact_line;  // the last item of its first vehicle's description
  const char* phone_digits;
};

void PrintTo(const PortalCase& portal, std::ostream* out) { *out << portal.name; }

class ClassifiedsExportTest : public ::testing::TestWithParam<PortalCase>,
                              public testing::ExportFixture {
 protected:
  ClassifiedsExportTest() {
    photos_.sent = [](const std::string& photo) { return photo.ends_with("_2.jpg"); };
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
  void Run() { driver_.RunExport(GetParam().name); }
};

INSTANTIATE_TEST_SUITE_P(
    Portals, ClassifiedsExportTest,
    ::testing::Values(PortalCase{"LEBONCOIN", "LeBonCoin", "INFOPRESS", "501",
                                 "Contactez Garage des Alpes – M. Girard au 04.76.12.34.56",
                                 "0476123456"},
                      PortalCase{"INFOPRESS", "InfoPress", "LEBONCOIN", "601",
                                 "Contactez Auto Sélection – Mme Lefèvre au 02.99.65.43.21",
                                 "0299654321"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(ClassifiedsExportTest, WritesTheAdFileOfItsOwnDocumentAndSection) {
  UseIni(IniFor("User=depot\n"));
  WriteDocument(testing::ReadFile(testing::SourceDir() + "/tests/data/" +
                                  VehicleDocumentName(GetParam().name)));
  Run();
  EXPECT_TRUE(window_.AutoClose());
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:2101");

  XMLCursorPtr file = CreateXMLCursor();
  file->Load(Output("xml"));
  XMLCursorPtr ads = file->Select("/annonces/annonce");
  ASSERT_EQ(ads->Count(), 2);
  const std::string id = GetParam().first_id;
  EXPECT_EQ(ads->GetValue("Titre"), "Peugeot 3008 1.6 BlueHDi 120 Allure B... (ref:" + id + ")");
  EXPECT_EQ(ads->GetValue("Texte"),
            "Peugeot 3008 1.6 BlueHDi 120 Allure Business (ref:" + id + ")\r\n\r\n" +
                "Carrosserie : SUV\r\nPuissance : 6 CV\r\nCouleur : Gris Platinium\r\n"
                "Boite : Manuelle\r\nMise en Circulation : 03/2018\r\n\r\n"
                " - Equipements Intérieurs : Climatisation, Vitres électriques, GPS\r\n\r\n"
                " - Equipements Extérieurs : Jantes alliage\r\n\r\n"
                " - Equipements Sécurité : ABS, Contrôle de stabilité\r\n\r\n"
                " - Véhicule non fumeur, Garantie : 12 mois\r\n\r\n" +
                GetParam().contact_line + "\r\n\r\n");
  EXPECT_EQ(ads->GetValue("Telephone"), GetParam().phone_digits);
  EXPECT_EQ(ads->GetValue("Garantie"), "12 mois");
  // Input order kept, the span gone, the slots under their own names.
  const std::string url = "http://127.0.0.1/pixtrove/" + id;
  EXPECT_THAT(ads->XML(), HasSubstr("<Kilometrage>64 000</Kilometrage><Titre>"));
  EXPECT_THAT(ads->XML(), HasSubstr("<photo1>" + url + "_1.jpg</photo1><photo2>" + url +
                                    "_2.jpg</photo2><photo3></photo3><photo4></photo4>"
                                    "<photo5></photo5><photo6></photo6></annonce>"));
  ads->Next();
  EXPECT_EQ(ads->GetValue("Titre"), "Citroën Berlingo Multispace 1.6 HDi 9... (ref:" +
                                        std::to_string(std::stoi(id) + 1) + ")");
  EXPECT_THAT(ads->GetValue("Texte"), HasSubstr("\r\n\r\n - Equipements Sécurité : ABS\r\n\r\n"
                                                " - Garantie : 3 mois\r\n\r\nContactez "));

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
  const std::string archive = dir_.path() + "/TEMP/Kalvex/" + GetParam().name + "_20261209.zip";
  EXPECT_THAT(
      std::vector<std::string>(result + 1, memo.end()),
      ElementsAre("Après Remplacements", "Avant Enregistrement", "Fichier " + archive + " créé",
                  "-> ", "Nb Images Mises à jour : 1 photos --- ", upload));
}

// A vehicle without equipment, extra list and warranty; no portal user.
TEST_P(ClassifiedsExportTest, BareVehicleWithoutUserGivesItsArchiveAndNoUpload) {
  UseIni(IniFor(""));
  WriteDocument(OneVehicle(
      "<InfoMarque>Dacia</InfoMarque><ModeleVersion>Sandero</ModeleVersion><MEC>07/2014</MEC>"
      "<Garantie></Garantie><Contact>Mme Roux</Contact><Telephone>0476000000</Telephone>"
      "<EqutInterieur></EqutInterieur><EqutExterieur></EqutExterieur>"
      "<EqutSecurite></EqutSecurite><InfoComplement></InfoComplement>"));
  Run();
  EXPECT_TRUE(window_.AutoClose());
  EXPECT_TRUE(testing::PathExists(Output("zip")));
  // No photo sent and no upload: the restarted log stays empty.
  EXPECT_EQ(testing::ReadFile(LogFile(GetParam().code)), "");
  EXPECT_THAT(MemoTexts(), ::testing::Not(::testing::Contains(HasSubstr("Transfert"))));

  XMLCursorPtr file = CreateXMLCursor();
  file->Load(Output("xml"));
  XMLCursorPtr ad = file->Select("/annonces/annonce");
  // Items 1 to 6 and 11 only; the fields it lacked are appended in writing order.
  EXPECT_EQ(ad->XML(),
            "<annonce><idNVO>77</idNVO><InfoMarque>Dacia</InfoMarque>"
            "<ModeleVersion>Sandero</ModeleVersion><MEC>07/2014</MEC><Garantie></Garantie>"
            "<Contact>Mme Roux</Contact><Telephone>0476000000</Telephone>"
            "<Titre>Dacia Sandero (ref:77)</Titre><Texte>Dacia Sandero (ref:77)&#13;\n&#13;\n"
            "Carrosserie : &#13;\nPuissance :  CV&#13;\nCouleur : &#13;\nBoite : &#13;\n"
            "Mise en Circulation : 07/2014&#13;\n&#13;\n&#13;\n"
            "Contactez Mme Roux au 0476000000&#13;\n&#13;\n</Texte>"
            "<photo1>http://127.0.0.1/pixtrove/p.jpg</photo1></annonce>");
}

// Vehicles the span cut cannot take whole: the run ends naming the vehicle, with
// nothing written and no photo sent.
TEST_P(ClassifiedsExportTest, VehicleOutOfShapeIsRefusedBeforeAnyOutput) {
  const std::pair<const char*, std::string> cases[] = {
      {"<InfoComplement>;VNF;</InfoComplement>", "n'a pas d'élément EqutInterieur"},
      {"<EqutInterieur>;Clim;</EqutInterieur>", "n'a pas d'élément InfoComplement"},
      {"<InfoComplement>;VNF;</InfoComplement><EqutInterieur>;Clim;</EqutInterieur>",
       "a ses éléments EqutInterieur et InfoComplement dans le désordre"},
  };
  UseIni(IniFor("User=depot\n"));
  const std::string document = dir_.path() + "/TEMP/Kalvex/" + VehicleDocumentName(GetParam().name);
  for (const auto& [fields, what] : cases) {
    WriteDocument(OneVehicle(fields));
    try {
      Run();
      FAIL() << "no error for " << fields;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Export refusé, " + document + " : le véhicule idNVO 77 " + what + ".");
    }
    EXPECT_FALSE(testing::PathExists(Output("xml")));
    EXPECT_FALSE(testing::PathExists(Output("zip")));
    EXPECT_THAT(photos_.synced, ::testing::IsEmpty());
    EXPECT_FALSE(window_.AutoClose());
  }
}

// Only SitAutoPro's file is made of the coordinates: here they would stand beside the
// root `annonces`, as any other record set would.
TEST_P(ClassifiedsExportTest, OtherRecordSetUnderTheRootIsRefusedBeforeAnyOutput) {
  UseIni(IniFor("User=depot\n"));
  const std::string document = dir_.path() + "/TEMP/Kalvex/" + VehicleDocumentName(GetParam().name);
  for (const char* set : {"AgenceS", "COORDONNEESS"}) {
    std::string text = OneVehicle("<EqutInterieur/><InfoComplement/>");
    text.insert(text.find("</document>"), "<" + std::string(set) + "/>");
    WriteDocument(text);
    try {
      Run();
      FAIL() << "accepted " << set;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Export refusé, " + document + " : l'élément " + set +
                    " se trouve sous document, qui ne peut contenir que DataVOS, LiensImagesS, "
                    "LiensEquipementsS et Aliases.");
    }
    EXPECT_FALSE(testing::PathExists(Output("xml")));
    EXPECT_THAT(photos_.synced, ::testing::IsEmpty());
  }
}

}  // namespace
}  // namespace kalvex
