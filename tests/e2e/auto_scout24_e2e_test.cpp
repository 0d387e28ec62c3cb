// The AutoScout24 export end to end: the built kalvex executable, run as a scheduler runs
// it, with a temporary Windir, a photo folder, and loopback FTP servers playing the image
// server and the AutoScout24 drop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::LogLineTexts;
using testing::ReadFile;

// Vehicle 31 has three photos, vehicle 32 none and an empty exterior list.
const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
    "<document>\r\n"
    "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\r\n"
    "<DataVO><idNVO>31</idNVO><IMarque>Renault</IMarque><IModele>Clio</IModele>"
    "<IVersion>Clio V 1.0 TCe 90 Zen</IVersion><TypeBoiteVitesse>Manuelle</TypeBoiteVitesse>"
    "<TypeCarrosserie>Berline</TypeCarrosserie><Couleur>Gris métallisé</Couleur>"
    "<Energie>Essence</Energie><MoisMEC>3</MoisMEC><AnneeMEC>2021</AnneeMEC>"
    "<Kilometrage>23000</Kilometrage><PrixDuBien>12 490 €</PrixDuBien>"
    "<NombreDePortes>5 portes</NombreDePortes><NbPlaces>5</NbPlaces><Puissance>4</Puissance>"
    "<Garantie>12 mois</Garantie><NChassis>VF1RJA00X12345678</NChassis>"
    "<Immatriculation>GA-123-BC</Immatriculation>"
    "<InfoEquiInterieur>;Clim;GPS;</InfoEquiInterieur>"
    "<InfoEquiExterieur>;JantAll;</InfoEquiExterieur>"
    "<InfoEquiSecurite>;ABS;ESP;</InfoEquiSecurite></DataVO>\r\n"
    "<DataVO><idNVO>32</idNVO><IMarque>Citroën</IMarque><IModele>C3</IModele>"
    "<IVersion>C3 Shine</IVersion><MoisMEC>11</MoisMEC><AnneeMEC>2019</AnneeMEC>"
    "<Garantie></Garantie><InfoEquiExterieur></InfoEquiExterieur></DataVO>\r\n"
    "</DataVOS>\r\n"
    "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\r\n"
    "<LiensImages><idNVO>31</idNVO><NomImage>clio_1</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>31</idNVO><NomImage>clio_2</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>31</idNVO><NomImage>clio_3</NomImage></LiensImages>\r\n"
    "</LiensImagesS>\r\n"
    "</document>\r\n";

constexpr char kCustomer[] = "9876543210";
constexpr char kDropUser[] = "as24";
constexpr char kDropPassword[] = "As24-dr0p!x";

class AutoScout24EndToEndTest : public testing::EndToEndTest {
 protected:
  std::string Staging() const { return Windir() + "/TEMP/AS24"; }
  std::string Archive() const { return WorkingFolder() + "/" + kCustomer + ".zip"; }
  std::string IniFor(const testing::FtpTestServer& images, const testing::FtpTestServer& drop,
                     const std::string& switches) const {
    return Ini(images, "AUTOSCOUT24", drop.HostField(), kDropUser, kDropPassword,
               std::string("idClient=") + kCustomer + "\r\n" + switches);
  }
  void Prepare() {
    for (const char* name : {"clio_1", "clio_2", "clio_3"}) {
      WritePhoto(Photos(), std::string(name) + ".jpg");
      WritePhoto(Photos(), std::string(name) + "m.jpg");
    }
    testing::WriteFile(WorkingFolder() + "/ExpDatasAutoScout24.xml", Latin9(kDocument));
  }
};

TEST_F(AutoScout24EndToEndTest, SendsTheVehicleFileAndStagedPhotosInTheCustomersArchive) {
  testing::FtpTestServer images(ImageServerOptions());
  testing::FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  Prepare();
  testing::WriteFile(Staging() + "/31_4.jpg", "a photo of the last run");

  const testing::RunResult run =
      RunKalvex(IniFor(images, drop, "TestFTPPixtrove=1\r\n"), "AutoScout24");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");

  // The vehicle file: Windows-1252 without byte-order mark, 92 fields per line, each
  // followed by ";", and CR LF.
  const std::string csv_name = std::string(kCustomer) + ".csv";
  const std::string csv = ReadFile(Staging() + "/" + csv_name);
  EXPECT_THAT(csv, ::testing::Not(::testing::StartsWith("\xEF\xBB\xBF")));
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(csv.substr(start, end - start));
  ASSERT_EQ(lines.size(), 2u) << csv;
  EXPECT_EQ(csv.size(), lines[0].size() + lines[1].size() + 4);
  for (const std::string& line : lines) {
    EXPECT_EQ(std::count(line.begin(), line.end(), ';'), 92) << line;
    EXPECT_EQ(line.substr(line.size() - 2), ";;") << line;
  }
  EXPECT_THAT(lines[0],
              ::testing::StartsWith("9876543210;31;31_1.jpg;Renault;Clio;V 1.0 TCe 90 Zen;"
                                    "Voiture d\x92occasion;Manuelle;Berline;"
                                    "Gris m\xE9tallis\xE9;0;;Essence;03.2021;23000;"
                                    "12 490 \x80;5;5;;4;"));
  EXPECT_THAT(lines[1], ::testing::StartsWith("9876543210;32;;Citro\xEBn;C3;Shine;"
                                              "Voiture d\x92occasion;;;;;;;11.2019;;;0;;;;"));

  // The staging folder holds this run's files only; the photos as they are.
  EXPECT_THAT(Names(Staging()), ElementsAre("31_1.jpg", "31_2.jpg", "31_3.jpg", csv_name));
  for (int n = 1; n <= 3; ++n)
    EXPECT_EQ(ReadFile(Staging() + "/31_" + std::to_string(n) + ".jpg"),
              ReadFile(Photos() + "/clio_" + std::to_string(n) + ".jpg"));

  // The archive holds exactly them, byte for byte.
  ASSERT_TRUE(testing::PathExists(Archive()));
  EXPECT_TRUE(UnzipTestsOk(Archive()));
  EXPECT_THAT(ArchiveEntries(Archive()), ElementsAre("31_1.jpg", "31_2.jpg", "31_3.jpg", csv_name));
  EXPECT_EQ(ArchiveEntry(Archive(), csv_name), csv);
  EXPECT_EQ(ArchiveEntry(Archive(), "31_2.jpg"), ReadFile(Photos() + "/clio_2.jpg"));

  // The document, kept under the run's time.
  std::vector<std::string> copies;
  for (const std::string& name : Names(WorkingFolder()))
    if (std::regex_match(name, std::regex("[0-9]{12}\\.xml"))) copies.push_back(name);
  ASSERT_EQ(copies.size(), 1u);
  const std::string copy = ReadFile(WorkingFolder() + "/" + copies[0]);
  EXPECT_THAT(copy, ::testing::HasSubstr("<Couleur>Gris m\xE9tallis\xE9</Couleur>"));
  EXPECT_THAT(copy, ::testing::HasSubstr("<NomImage>clio_3</NomImage>"));

  // The drop received the archive; the image server was listed, not written to.
  EXPECT_THAT(Names(drop.Home()), ElementsAre(std::string(kCustomer) + ".zip"));
  EXPECT_EQ(ReadFile(drop.Home() + "/" + kCustomer + ".zip"), ReadFile(Archive()));
  EXPECT_EQ(images.CountCommand("NLST"), 1);
  EXPECT_EQ(images.CountCommand("STOR"), 0);

  // The run log holds the summary only; the console showed the archive steps.
  EXPECT_THAT(LogLineTexts(RunLog("AUTOSCOUT24")),
              ElementsAre("Nb Images Mises à jour : 6 photos --- ",
                          "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : "
                          "9876543210.zip - 2 VO"));
  EXPECT_THAT(run.out, ::testing::HasSubstr(" - Zip File : " + Archive() + "\n"));
  EXPECT_THAT(run.out, ::testing::HasSubstr("\nFichier " + Archive() + " créé\n"));
  EXPECT_THAT(run.out, ::testing::HasSubstr(" - Début Transfert : " + Archive() + "\n"));
  for (const std::string& text : {run.out, run.err, RunLog("AUTOSCOUT24")}) {
    EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr(kDropPassword)));
    EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr(images.options().password)));
  }
}

// A PathTemp that reaches a folder holding anything else ends the run before anything
// is deleted: its sentinel stays.
TEST_F(AutoScout24EndToEndTest, AStagingFolderThatHoldsOtherDataIsNeverEmptied) {
  testing::FtpTestServer images(ImageServerOptions());
  testing::FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  Prepare();
  const std::string home = dir_.path() + "/home";
  namespace fs = std::filesystem;
  // Windir/up is the folder above Windir: a way to every folder of the test.
  fs::create_directory_symlink(dir_.path(), Windir() + "/up");
  struct Case {
    std::string value;
    std::string sentinel_folder;  // the folder the value names
    std::string reason;
  };
  const std::string real = fs::canonical(dir_.path()).string();
  const std::string windir = real + "/windows";
  const std::vector<Case> cases = {
      {"", Windir(), "le dossier " + windir + " est le dossier Windir"},
      {"\\", Windir(), "le dossier " + windir + " est le dossier Windir"},
      {"\\..", dir_.path(), "le chemin " + Windir() + "/.. passe par « .. »"},
      {"\\Temp", Windir() + "/TEMP", "le dossier " + windir + "/TEMP est le dossier des journaux"},
      {"\\Temp\\Kalvex", WorkingFolder(),
       "le dossier " + windir + "/TEMP/Kalvex est le dossier de travail"},
      {"\\up\\photos", Photos(), "le dossier " + real + "/photos est le dossier des photos"},
      {"\\up\\bin", dir_.path() + "/bin",
       "le dossier " + real + "/bin est le dossier du programme"},
      {"\\up\\home", home, "le dossier " + real + "/home est le dossier personnel"},
      {"\\up", dir_.path(), "le dossier " + real + " contient le dossier Windir " + windir},
  };
  for (const Case& c : cases) {
    testing::WriteFile(c.sentinel_folder + "/sentinel.txt", "the dealer's data");
    const testing::RunResult run = RunKalvex(IniFor(images, drop, "PathTemp=" + c.value + "\r\n"),
                                             "AUTOSCOUT24", "HOME='" + home + "'");
    EXPECT_EQ(run.exit_code, 1) << c.value << run.out;
    EXPECT_THAT(run.err,
                ::testing::HasSubstr("Dossier refusé dans Kalvex.ini, [AUTOSCOUT24] PathTemp=" +
                                     c.value + " : " + c.reason +
                                     " ; ce dossier est vidé entièrement à chaque export, il doit "
                                     "servir à cela seulement"))
        << c.value;
    EXPECT_EQ(ReadFile(c.sentinel_folder + "/sentinel.txt"), "the dealer's data") << c.value;
    EXPECT_FALSE(testing::PathExists(Archive())) << c.value;
  }
  EXPECT_TRUE(Names(drop.Home()).empty());
}

}  // namespace
}  // namespace kalvex
