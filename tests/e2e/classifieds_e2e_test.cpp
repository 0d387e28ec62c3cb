// The LeBonCoin and InfoPress exports end to end, once per portal: the built kalvex
// executable run as a scheduler runs it, with a temporary Windir, its Kalvex.ini and two
// loopback FTP servers playing the image server and the portal drop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::ReadFile;
using ::testing::StartsWith;

// Vehicle 501: long brand and model, equipment, the extra list ";VNF;" and a warranty,
// a telephone with dots, a contact with a dash ISO-8859-15 lacks (written as UTF-8
// text, the only form that holds it). Vehicle 502: nothing optional and an identifier
// whose ref is 50 characters long.
std::string Document() {
  const std::string long_id(43, '7');
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<document>\r\n"
         "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\r\n"
         "<DataVO><idNVO>501</idNVO><InfoMarque>Mercedes-Benz Véhicules Utilitaires</InfoMarque>"
         "<ModeleVersion>Classe V 250 d Avantgarde Édition longue</ModeleVersion>"
         "<Carrosserie>Monospace</Carrosserie><Puissance>11</Puissance>"
         "<Couleur>Gris Sélénite</Couleur><BoiteVitesse>Automatique</BoiteVitesse>"
         "<MEC>05/2019</MEC><Garantie>12 mois</Garantie>"
         "<Contact>Garage des Alpes – M. Girard</Contact><Telephone>04.76.12.34.56</Telephone>"
         "<EqutInterieur>;Clim;</EqutInterieur><EqutExterieur>;JantAll;</EqutExterieur>"
         "<EqutSecurite>;ABS;</EqutSecurite><InfoComplement>;VNF;</InfoComplement>"
         "<Prix>38 900 €</Prix><Titre></Titre><Texte></Texte>"
         "<photo1></photo1><photo2></photo2><photo3></photo3><photo4></photo4>"
         "<photo5></photo5><photo6></photo6></DataVO>\r\n"
         "<DataVO><idNVO>" +
         long_id +
         "</idNVO><InfoMarque>Dacia</InfoMarque><ModeleVersion>Sandero</ModeleVersion>"
         "<Carrosserie>Berline</Carrosserie><Puissance>4</Puissance><Couleur>Blanc</Couleur>"
         "<BoiteVitesse>Manuelle</BoiteVitesse><MEC>07/2014</MEC><Garantie></Garantie>"
         "<Contact>Mme Roux</Contact><Telephone>0476000000</Telephone>"
         "<EqutInterieur></EqutInterieur><EqutExterieur></EqutExterieur>"
         "<EqutSecurite></EqutSecurite><InfoComplement></InfoComplement>"
         "<photo1></photo1><photo2></photo2><photo3></photo3><photo4></photo4>"
         "<photo5></photo5><photo6></photo6></DataVO>\r\n"
         "</DataVOS>\r\n"
         "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\r\n"
         "<LiensImages><idNVO>501</idNVO><NomImage>501_1</NomImage></LiensImages>\r\n"
         "<LiensImages><idNVO>501</idNVO><NomImage>501_2</NomImage></LiensImages>\r\n"
         "<LiensImages><idNVO>" +
         long_id +
         "</idNVO><NomImage>sandero_1</NomImage></LiensImages>\r\n"
         "</LiensImagesS>\r\n"
         "<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\r\n"
         "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
         "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>\r\n"
         "<LiensEquipements><AbbrEquip>JANTALL</AbbrEquip>"
         "<LibelleEquipement>Jantes alliage</LibelleEquipement></LiensEquipements>\r\n"
         "<LiensEquipements><AbbrEquip>ABS</AbbrEquip>"
         "<LibelleEquipement>ABS</LibelleEquipement></LiensEquipements>\r\n"
         "<LiensEquipements><AbbrEquip>VNF</AbbrEquip>"
         "<LibelleEquipement>Véhicule non fumeur</LibelleEquipement></LiensEquipements>\r\n"
         "<LiensEquipements><AbbrEquip>GAR</AbbrEquip>"
         "<LibelleEquipement>Sous Garantie</LibelleEquipement></LiensEquipements>\r\n"
         "</LiensEquipementsS>\r\n"
         "<Aliases><Alias Nom=\"VO\">DataVO</Alias></Aliases>\r\n"
         "</document>\r\n";
}

size_t Characters(const std::string& utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

struct PortalCase {
  const char* code;
  const char* name;
};
void PrintTo(const PortalCase& portal, std::ostream* out) { *out << portal.name; }

class ClassifiedsEndToEndTest : public testing::EndToEndTest,
                                public ::testing::WithParamInterface<PortalCase> {
 protected:
  static constexpr const char* kDropUser = "annonces";
  static constexpr const char* kDropPassword = "Dr0p-4kLm";

  // Photos of both vehicles on disk; 501_1 is on the image server already.
  void PreparePhotos(const FtpTestServer& images) {
    for (const char* photo : {"501_1", "501_2", "sandero_1"}) {
      WritePhoto(Photos(), std::string(photo) + ".jpg");
      WritePhoto(Photos(), std::string(photo) + "m.jpg");
    }
    WritePhoto(images.Home() + "/www/pixtrove", "501_1.jpg");
    WritePhoto(images.Home() + "/www/pixtrove", "501_1m.jpg");
  }

  testing::RunResult Run(const FtpTestServer& images, const FtpTestServer& drop,
                         const std::string& user) {
    testing::WriteFile(WorkingFolder() + "/ExpDatas" + GetParam().name + ".xml", Document());
    return RunKalvex(Ini(images, GetParam().code, drop.HostField(), user, kDropPassword,
                         "TestFTPPixtrove=1\r\n"),
                     GetParam().name);
  }

  // The working folder's output of a run with this extension: name + "_yyyymmdd".
  std::string Output(const std::string& extension) const {
    const std::regex form(std::string(GetParam().name) + "_[0-9]{8}\\." + extension);
    for (const std::string& name : Names(WorkingFolder()))
      if (std::regex_match(name, form)) return name;
    return "";
  }

  // What every run leaves, with or without upload: the ad file and its archive.
  void ExpectAdFileAndArchive() {
    const std::string result = Output("xml");
    const std::string archive = Output("zip");
    ASSERT_FALSE(result.empty());
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(Names(WorkingFolder()).size(), 3u);
    const std::string saved = ReadFile(WorkingFolder() + "/" + result);

    // ISO-8859-15 bytes; the dash it lacks as a character reference.
    EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"));
    EXPECT_THAT(saved, HasSubstr("<Couleur>Gris S\xE9l\xE9nite</Couleur>"));
    EXPECT_THAT(saved, HasSubstr("<Prix>38 900 \xA4</Prix>"));
    EXPECT_THAT(saved, HasSubstr("Garage des Alpes &#8211; M. Girard"));
    EXPECT_THAT(saved, ::testing::Not(HasSubstr("\xC3")));
    // Line ends inside Texte as the XML layer writes them.
    EXPECT_THAT(saved, HasSubstr("(ref:501)&#13;\n&#13;\nCarrosserie : Monospace&#13;\n"));
    for (const char* gone : {"Equt", "InfoComplement", "DataVO", "<document", "Liens", "Alias"})
      EXPECT_THAT(saved, ::testing::Not(HasSubstr(gone))) << gone;

    XMLCursorPtr file = CreateXMLCursor();
    file->Load(WorkingFolder() + "/" + result);
    EXPECT_EQ(file->Select("/*")->NodeName(), "annonces");
    XMLCursorPtr ads = file->Select("/annonces/annonce");
    ASSERT_EQ(ads->Count(), 2);
    for (; !ads->Eof(); ads->Next()) {
      EXPECT_LE(Characters(ads->GetValue("Titre")), 50u);
      for (const char* field : {"Titre", "Texte", "Telephone", "Garantie", "photo1", "photo2",
                                "photo3", "photo4", "photo5", "photo6"})
        EXPECT_FALSE(ads->Select(field)->Eof()) << field;
    }
    ads->First();
    EXPECT_EQ(ads->GetValue("Titre"), "Mercedes-Benz Véhicules Utilitaires C... (ref:501)");
    // The whole head in the first line, the dots of the telephone, no empty item.
    const std::string text = ads->GetValue("Texte");
    EXPECT_THAT(text, StartsWith("Mercedes-Benz Véhicules Utilitaires Classe V 250 d Avantgarde "
                                 "Édition longue (ref:501)\r\n\r\nCarrosserie : Monospace\r\n"));
    EXPECT_THAT(text, HasSubstr("\r\n\r\n - Véhicule non fumeur, Garantie : 12 mois\r\n\r\n"
                                "Contactez Garage des Alpes – M. Girard au 04.76.12.34.56"));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(", ,")));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));
    EXPECT_EQ(ads->GetValue("Telephone"), "0476123456");
    EXPECT_EQ(ads->GetValue("Garantie"), "12 mois");
    EXPECT_EQ(ads->GetValue("photo1"), "http://127.0.0.1/pixtrove/501_1.jpg");
    EXPECT_EQ(ads->GetValue("photo2"), "http://127.0.0.1/pixtrove/501_2.jpg");
    EXPECT_EQ(ads->GetValue("photo3"), "");
    ads->Next();
    const std::string title = ads->GetValue("Titre");
    EXPECT_EQ(title, "Dacia Sandero (ref:" + std::string(28, '7') + "...");
    EXPECT_EQ(Characters(title), 50u);
    EXPECT_THAT(ads->GetValue("Texte"),
                HasSubstr("Mise en Circulation : 07/2014\r\n\r\n\r\nContactez Mme Roux au "));
    EXPECT_EQ(ads->GetValue("photo1"), "http://127.0.0.1/pixtrove/sandero_1.jpg");

    // The archive holds the result file, byte for byte.
    const std::string archive_path = WorkingFolder() + "/" + archive;
    EXPECT_TRUE(UnzipTestsOk(archive_path));
    EXPECT_THAT(ArchiveEntries(archive_path), ElementsAre(result));
    EXPECT_EQ(ArchiveEntry(archive_path, result), saved);
  }

  // The missing photos and thumbnails reached the image server.
  void ExpectPhotosSent(const FtpTestServer& images) {
    const std::string folder = images.Home() + "/www/pixtrove";
    EXPECT_THAT(Names(folder), ElementsAre("501_1.jpg", "501_1m.jpg", "501_2.jpg", "501_2m.jpg",
                                           "sandero_1.jpg", "sandero_1m.jpg"));
    EXPECT_EQ(ReadFile(folder + "/sandero_1m.jpg"), ReadFile(Photos() + "/sandero_1m.jpg"));
    EXPECT_EQ(images.CountCommand("STOR"), 4);
  }
};

INSTANTIATE_TEST_SUITE_P(Portals, ClassifiedsEndToEndTest,
                         ::testing::Values(PortalCase{"LEBONCOIN", "LeBonCoin"},
                                           PortalCase{"INFOPRESS", "InfoPress"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ClassifiedsEndToEndTest, WithAUserTheArchiveGoesToThePortalDrop) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  PreparePhotos(images);
  const testing::RunResult run = Run(images, drop, kDropUser);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  ExpectAdFileAndArchive();
  ExpectPhotosSent(images);

  const std::string archive = Output("zip");
  EXPECT_THAT(Names(drop.Home()), ElementsAre(archive));
  EXPECT_EQ(ReadFile(drop.Home() + "/" + archive), ReadFile(WorkingFolder() + "/" + archive));
  EXPECT_THAT(LogTexts(RunLog(GetParam().code)),
              ElementsAre("Nb Images Mises à jour : 4 photos --- ",
                          "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : " +
                              archive + " - 2 VO"));
  for (const std::string& text : {run.out, run.err, RunLog(GetParam().code)}) {
    EXPECT_THAT(text, ::testing::Not(HasSubstr(images.options().password)));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(kDropPassword)));
  }
}

TEST_P(ClassifiedsEndToEndTest, WithoutAUserNothingIsUploaded) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  PreparePhotos(images);
  const testing::RunResult run = Run(images, drop, "");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  ExpectAdFileAndArchive();
  ExpectPhotosSent(images);

  EXPECT_THAT(Names(drop.Home()), ::testing::IsEmpty());
  EXPECT_EQ(drop.CountCommand("USER"), 0);
  EXPECT_THAT(LogTexts(RunLog(GetParam().code)),
              ElementsAre("Nb Images Mises à jour : 4 photos --- "));
}

}  // namespace
}  // namespace kalvex
