// The TopAnnonces export end to end: the built executable in console mode with a
// temporary Windir and Kalvex.ini, a loopback FTP server as image server and another as
// the TopAnnonces drop, which must receive nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre, ::testing::EndsWith, ::testing::HasSubstr, ::testing::Not,
    ::testing::StartsWith;
using testing::EndToEndTest, testing::FtpTestServer, testing::ReadFile, testing::WriteFile;

// Vehicle 401: two photos, a warranty of 12 months and the extra list ";VNF;". Vehicle
// 402: one photo that the image server holds already, a warranty in years, a price with
// a dash that ISO-8859-15 lacks (a character reference in the input).
const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>\r\n"
    "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\r\n"
    "<DataVO><reference>401</reference><marque>Volkswagen</marque><modele>Golf</modele>"
    "<Carrosserie>Berline</Carrosserie><prix>14 900 €</prix>"
    "<MODELEVERSION>Golf VII 1.6 TDI</MODELEVERSION><EqutInterieur>;Clim;GPS;</EqutInterieur>"
    "<EqutExterieur>;JantAll;</EqutExterieur><EqutSecurite></EqutSecurite>"
    "<InfoComplement>;VNF;</InfoComplement><Garantie>12 mois</Garantie>"
    "<BOITE_DE_VITESSE>Manuelle</BOITE_DE_VITESSE><NB_PORTES>5 portes</NB_PORTES>"
    "<Kilometrage>55000</Kilometrage><Couleur>Bleu nuit</Couleur><Energie>Diesel</Energie>"
    "<YearMEC>2018</YearMEC><FirstMEC>04/2018</FirstMEC><accroche_url></accroche_url>"
    "<texte></texte><complements></complements><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2>"
    "<NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5>"
    "<NOMPHOTO6></NOMPHOTO6></DataVO>\r\n"
    "<DataVO><reference>402</reference><marque>Renault</marque><modele>Clio</modele>"
    "<Carrosserie>Société</Carrosserie><prix>7 500 € &#8212; HT</prix>"
    "<MODELEVERSION>Clio IV 1.5 dCi</MODELEVERSION><EqutInterieur>;ClimAuto;</EqutInterieur>"
    "<EqutExterieur></EqutExterieur><EqutSecurite>;ABS;</EqutSecurite>"
    "<InfoComplement></InfoComplement><Garantie>1 an</Garantie>"
    "<BOITE_DE_VITESSE>automatique</BOITE_DE_VITESSE><NB_PORTES>3p</NB_PORTES>"
    "<Kilometrage>121000</Kilometrage><Couleur>Blanc</Couleur><Energie>Électrique</Energie>"
    "<YearMEC>2015</YearMEC><FirstMEC>09/2015</FirstMEC><accroche_url></accroche_url>"
    "<texte></texte><complements></complements><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2>"
    "<NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5>"
    "<NOMPHOTO6></NOMPHOTO6></DataVO>\r\n"
    "</DataVOS>\r\n<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\r\n"
    "<LiensImages><idNVO>401</idNVO><NomImage>401_1</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>401</idNVO><NomImage>401_2</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>402</idNVO><NomImage>402_1</NomImage></LiensImages>\r\n"
    "</LiensImagesS>\r\n<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\r\n"
    "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
    "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>GPS</AbbrEquip>"
    "<LibelleEquipement>GPS</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>JANTALL</AbbrEquip>"
    "<LibelleEquipement>Jantes alliage</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>VNF</AbbrEquip>"
    "<LibelleEquipement>Véhicule non fumeur</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>GAR</AbbrEquip>"
    "<LibelleEquipement>Sous Garantie</LibelleEquipement></LiensEquipements>\r\n"
    "</LiensEquipementsS>\r\n<Aliases><Alias Nom=\"VO\">DataVO</Alias></Aliases>\r\n"
    "</document>\r\n";

// The complement types in the order the portal reads them.
constexpr char kComplementTypes[] =
    "VS S O1 O2 O3 O4 O5 O6 O7 O8 O9 NP K E1 E2 CO E A B1 B2 B3 B4 B5 B6 B7 B8 B9 S1 S2 S3 S4 "
    "S5 S6 S7 S8 S9 S10 U1 U2 U3 U4 U5 U6 U7 U8 U9 U10 G1 G2 IM";

class TopAnnoncesEndToEndTest : public EndToEndTest {
 protected:
  // The file of the working folder whose name matches the pattern.
  std::string Find(const std::string& pattern) const {
    for (const std::string& name : Names(WorkingFolder()))
      if (std::regex_match(name, std::regex(pattern))) return name;
    return "";
  }
};

TEST_F(TopAnnoncesEndToEndTest, WritesTheAdsArchivesThemAndSendsOnlyPhotos) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions("topannonces", "T0p-drop"));
  for (const char* photo :
       {"401_1.jpg", "401_1m.jpg", "401_2.jpg", "401_2m.jpg", "402_1.jpg", "402_1m.jpg"})
    WritePhoto(Photos(), photo);
  WritePhoto(images.Home() + "/www/pixtrove", "402_1.jpg");
  WriteFile(WorkingFolder() + "/ExpDatasTopAnnonces.xml", Latin9(kDocument));

  const testing::RunResult run = RunKalvex(Ini(images, "TOPANNONCES", drop.HostField(),
                                               "topannonces", "T0p-drop", "TestFTPPixtrove=1\r\n"),
                                           "TopAnnonces");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");

  const std::string result = Find("XXXXXX[0-9]{14}\\.xml");
  const std::string archive = Find("XXXXXX[0-9]{14}\\.zip");
  const std::string dated = Find("TopAnnonces-[0-9]{8}\\.xml");
  EXPECT_EQ(Names(WorkingFolder()).size(), 4u);
  ASSERT_NE(result, "");
  ASSERT_NE(archive, "");
  ASSERT_NE(dated, "");
  const std::string saved = ReadFile(WorkingFolder() + "/" + result);
  EXPECT_EQ(ReadFile(WorkingFolder() + "/" + dated), saved);
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"));
  EXPECT_THAT(saved, HasSubstr(Latin9("<prix>7 500 € &#8212; HT</prix>")));
  EXPECT_THAT(saved, HasSubstr(Latin9("<carrosserie>Société</carrosserie>")));
  for (const char* gone : {"MODELEVERSION", "Equt", "InfoComplement", "NOMPHOTO", "Liens"})
    EXPECT_THAT(saved, Not(HasSubstr(gone))) << gone;

  XMLCursorPtr document = testing::ParsedFile(WorkingFolder() + "/" + result);
  ASSERT_EQ(document->NodeName(), "listepa");
  XMLCursorPtr ads = document->Select("/listepa/annonce");
  ASSERT_EQ(ads->Count(), 2);
  const std::vector<std::vector<std::string>> photos = {
      {"http://127.0.0.1/pixtrove/401_1.jpg", "http://127.0.0.1/pixtrove/401_2.jpg"},
      {"http://127.0.0.1/pixtrove/402_1.jpg"}};
  for (size_t i = 0; !ads->Eof(); ads->Next(), ++i) {
    std::string types;
    for (XMLCursorPtr c = ads->Select("complements/complement"); !c->Eof(); c->Next())
      types += (types.empty() ? "" : " ") + c->GetValue("@type");
    EXPECT_EQ(types, kComplementTypes);
    std::vector<std::string> listed;
    for (XMLCursorPtr p = ads->Select("liste_photos/photo"); !p->Eof(); p->Next())
      listed.push_back(p->GetValue("."));
    EXPECT_EQ(listed, photos[i]);
  }
  ads->First();
  EXPECT_EQ(ads->GetValue("accroche_url"), "Volkswagen Golf VII 1.6 TDI");
  EXPECT_EQ(ads->GetValue("texte"),
            "- Equipements Intérieurs : Climatisation, GPS - Equipements Extérieurs : Jantes "
            "alliage - Véhicule non fumeur, Garantie : 12 mois");
  ads->Next();
  EXPECT_EQ(ads->GetValue("complements/complement[@type='G1']"), "false");
  EXPECT_EQ(ads->GetValue("complements/complement[@type='G2']"), "false");
  EXPECT_EQ(ads->GetValue("complements/complement[@type='E']"), "ELECTRIQUE");

  // The archive holds the result file as it is on disk.
  const std::string archive_path = WorkingFolder() + "/" + archive;
  EXPECT_TRUE(UnzipTestsOk(archive_path));
  EXPECT_THAT(ArchiveEntries(archive_path), ElementsAre(result));
  EXPECT_EQ(ArchiveEntry(archive_path, result), saved);

  // The image server got the photos it lacked; the portal drop saw no connection.
  const std::string image_folder = images.Home() + "/www/pixtrove";
  EXPECT_THAT(Names(image_folder), ElementsAre("401_1.jpg", "401_1m.jpg", "401_2.jpg", "401_2m.jpg",
                                               "402_1.jpg", "402_1m.jpg"));
  EXPECT_EQ(ReadFile(image_folder + "/401_2m.jpg"), ReadFile(Photos() + "/401_2m.jpg"));
  EXPECT_EQ(images.CountCommand("STOR"), 5);
  EXPECT_TRUE(Names(drop.Home()).empty());
  EXPECT_TRUE(drop.Commands().empty());

  EXPECT_EQ(RunLog("TOPANNONCES"), "");
  EXPECT_THAT(run.out, HasSubstr(" - Update 5 : 402_1m.jpg\n"));
  EXPECT_THAT(run.out, HasSubstr("Fichier " + archive_path + " créé\n"));
  EXPECT_THAT(run.out, EndsWith("-> \n"));
}

}  // namespace
}  // namespace kalvex
