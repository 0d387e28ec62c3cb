// The ParuVendu export end to end: the built kalvex executable, run as a scheduler runs
// it (console, one portal argument), with a temporary Windir, its Kalvex.ini beside a
// copy of the executable, and two loopback FTP servers playing the image server and the
// ParuVendu portal drop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e_fixture.h"
#include "test_certificates.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::LogLineTexts;
using ::testing::Not;
using testing::ReadFile;
using testing::RunResult;
using ::testing::StartsWith;
using testing::WriteFile;

// Vehicle 1 has seven photo links and no slot elements; vehicle 2 has one photo that
// the image server already holds, one photo missing everywhere, six empty slots and
// identifier elements written in other letter cases.
const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
    "<document>\r\n"
    "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\r\n"
    "<DataVO><idNVO>1</idNVO><SousRubrique>Renault</SousRubrique>"
    "<ModeleVersion>Renault Clio V 1.0 TCe 90 Zen</ModeleVersion>"
    "<EqutInterieur>;Clim;GPS;</EqutInterieur><EqutExterieur>;JantAll;</EqutExterieur>"
    "<EqutSecurite>;ABS;</EqutSecurite><InfoComplement></InfoComplement>"
    "<Texte>Très belle Clio, 12 490 €</Texte></DataVO>\r\n"
    "<DataVO><idNVO>2</idNVO><SousRubrique>Citroën</SousRubrique>"
    "<ModeleVersion>Citroën C3 Aircross Shine</ModeleVersion>"
    "<EqutInterieur>;ClimAuto;</EqutInterieur><EqutExterieur></EqutExterieur>"
    "<EqutSecurite></EqutSecurite><InfoComplement>;CtOK;</InfoComplement>"
    "<Reprise><IdNvo>1002</IdNvo><IDNVO>7</IDNVO></Reprise>"
    "<NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3>"
    "<NomPhoto4></NomPhoto4><NomPhoto5></NomPhoto5><NomPhoto6></NomPhoto6></DataVO>\r\n"
    "</DataVOS>\r\n"
    "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_1</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_2</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_3</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_4</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_5</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_6</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>1</idNVO><NomImage>clio_7</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>2</idNVO><NomImage>c3_1</NomImage></LiensImages>\r\n"
    "<LiensImages><idNVO>2</idNVO><NomImage>c3_lost</NomImage></LiensImages>\r\n"
    "</LiensImagesS>\r\n"
    "<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\r\n"
    "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
    "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>CLIMAUTO</AbbrEquip>"
    "<LibelleEquipement>Climatisation automatique</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>GPS</AbbrEquip>"
    "<LibelleEquipement>GPS intégré</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>JANTALL</AbbrEquip>"
    "<LibelleEquipement>Jantes alliage</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>ABS</AbbrEquip>"
    "<LibelleEquipement>ABS</LibelleEquipement></LiensEquipements>\r\n"
    "<LiensEquipements><AbbrEquip>CTOK</AbbrEquip>"
    "<LibelleEquipement>Contrôle technique OK</LibelleEquipement></LiensEquipements>\r\n"
    "</LiensEquipementsS>\r\n"
    "<Aliases><Alias Nom=\"VO\">DataVO</Alias></Aliases>\r\n"
    "</document>\r\n";

class ParuVenduEndToEndTest : public testing::EndToEndTest {
 protected:
  std::string RunLog() const { return EndToEndTest::RunLog("PARUVENDU"); }

  void PreparePhotos(const FtpTestServer& images) {
    for (int i = 1; i <= 7; ++i) {
      WritePhoto(Photos(), "clio_" + std::to_string(i) + ".jpg");
      WritePhoto(Photos(), "clio_" + std::to_string(i) + "m.jpg");
    }
    WritePhoto(Photos(), "c3_1.jpg");
    WritePhoto(Photos(), "c3_1m.jpg");
    // c3_1 is on the image server already; c3_lost is nowhere.
    WritePhoto(images.Home() + "/www/pixtrove", "c3_1.jpg");
    WritePhoto(images.Home() + "/www/pixtrove", "c3_1m.jpg");
  }

  std::string Ini(const FtpTestServer& images, const std::string& drop_host,
                  const std::string& switches) const {
    return EndToEndTest::Ini(images, "PARUVENDU", drop_host, kDropUser, kDropPassword, switches);
  }

  RunResult RunKalvex(const std::string& ini, const std::string& portal = "ParuVendu") {
    return EndToEndTest::RunKalvex(ini, portal);
  }

  // The portal files of a run: the time-stamped copy and the export file.
  struct Outputs {
    std::string stamped;
    std::string export_file;
  };
  Outputs FindOutputs() const {
    Outputs found;
    for (const std::string& name : Names(WorkingFolder())) {
      if (std::regex_match(name, std::regex("[0-9]{12}\\.xml"))) found.stamped = name;
      if (std::regex_match(name, std::regex("FerlaneDatasVO-[0-9]{8}\\.xml")))
        found.export_file = name;
    }
    return found;
  }

  static constexpr const char* kDropUser = "paruvendu";
  static constexpr const char* kDropPassword = "Dr0p-9xWv";

  static FtpServerOptions DropOptions() {
    return EndToEndTest::DropOptions(kDropUser, kDropPassword);
  }
};

TEST_F(ParuVenduEndToEndTest, ExportsSynchronisesPhotosAndSendsThePortalFile) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions());
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));

  const RunResult run =
      RunKalvex(Ini(images, drop.HostField(), "FlgInfoEquip=1\r\nTestFTPPixtrove=1\r\n"));
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");

  const Outputs outputs = FindOutputs();
  ASSERT_FALSE(outputs.stamped.empty()) << run.out;
  ASSERT_FALSE(outputs.export_file.empty()) << run.out;
  EXPECT_EQ(outputs.stamped.substr(0, 8), outputs.export_file.substr(15, 8));
  const std::string saved = ReadFile(WorkingFolder() + "/" + outputs.export_file);
  EXPECT_EQ(ReadFile(WorkingFolder() + "/" + outputs.stamped), saved);

  // UTF-8 with a declaration that names no encoding.
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\"?>"));
  EXPECT_THAT(saved, Not(HasSubstr("encoding")));
  EXPECT_THAT(saved, HasSubstr("<Texte>Très belle Clio, 12 490 €</Texte>"));
  EXPECT_THAT(saved, Not(HasSubstr("LiensImagesS")));
  EXPECT_THAT(saved, Not(HasSubstr("LiensEquipementsS")));
  EXPECT_THAT(saved, Not(HasSubstr("Aliases")));
  EXPECT_THAT(saved, Not(HasSubstr("idNVO")));
  EXPECT_THAT(saved, Not(HasSubstr("IdNvo")));
  EXPECT_THAT(saved, Not(HasSubstr("IDNVO")));
  EXPECT_THAT(saved, Not(HasSubstr("clio_7")));
  EXPECT_THAT(
      saved,
      HasSubstr("<DataVO><id-VO>1</id-VO><SousRubrique>Renault</SousRubrique>"
                "<ModeleVersion>Clio V 1.0 TCe 90 Zen</ModeleVersion>"
                "<EqutInterieur>Climatisation, GPS intégré</EqutInterieur>"
                "<EqutExterieur>Jantes alliage</EqutExterieur><EqutSecurite>ABS</EqutSecurite>"
                "<InfoComplement></InfoComplement><Texte>Très belle Clio, 12 490 €</Texte>"
                "<Photo Num=\"1\">http://127.0.0.1/pixtrove/clio_1.jpg</Photo>"
                "<Photo Num=\"2\">http://127.0.0.1/pixtrove/clio_2.jpg</Photo>"
                "<Photo Num=\"3\">http://127.0.0.1/pixtrove/clio_3.jpg</Photo>"
                "<Photo Num=\"4\">http://127.0.0.1/pixtrove/clio_4.jpg</Photo>"
                "<Photo Num=\"5\">http://127.0.0.1/pixtrove/clio_5.jpg</Photo>"
                "<Photo Num=\"6\">http://127.0.0.1/pixtrove/clio_6.jpg</Photo></DataVO>"));
  EXPECT_THAT(saved, HasSubstr("<DataVO><id-VO>2</id-VO><SousRubrique>Citroën</SousRubrique>"
                               "<ModeleVersion>C3 Aircross Shine</ModeleVersion>"
                               "<EqutInterieur>Climatisation automatique</EqutInterieur>"
                               "<EqutExterieur></EqutExterieur><EqutSecurite></EqutSecurite>"
                               "<InfoComplement>Contrôle technique OK</InfoComplement>"
                               "<Reprise><id-VO>1002</id-VO><id-VO>7</id-VO></Reprise>"
                               "<Photo Num=\"1\">http://127.0.0.1/pixtrove/c3_1.jpg</Photo>"
                               "<Photo Num=\"2\">http://127.0.0.1/pixtrove/c3_lost.jpg</Photo>"
                               "<Photo Num=\"3\"></Photo><Photo Num=\"4\"></Photo>"
                               "<Photo Num=\"5\"></Photo><Photo Num=\"6\"></Photo></DataVO>"));

  // The portal drop received the export file as it is on disk.
  EXPECT_THAT(Names(drop.Home()), ElementsAre(outputs.export_file));
  EXPECT_EQ(ReadFile(drop.Home() + "/" + outputs.export_file), saved);

  // The image server received every photo and thumbnail it lacked, the seventh too;
  // c3_1 was there already and c3_lost exists nowhere.
  std::vector<std::string> expected = {"c3_1.jpg", "c3_1m.jpg"};
  for (int i = 1; i <= 7; ++i) {
    expected.push_back("clio_" + std::to_string(i) + ".jpg");
    expected.push_back("clio_" + std::to_string(i) + "m.jpg");
  }
  std::sort(expected.begin(), expected.end());
  const std::string image_folder = images.Home() + "/www/pixtrove";
  EXPECT_EQ(Names(image_folder), expected);
  for (const std::string& name : expected)
    EXPECT_EQ(ReadFile(image_folder + "/" + name), ReadFile(Photos() + "/" + name)) << name;
  EXPECT_EQ(images.CountCommand("NLST"), 1);
  EXPECT_EQ(images.CountCommand("STOR"), 14);
  // One login per server; the sessions ended with the process, without QUIT.
  EXPECT_EQ(images.CountCommand("USER"), 1);
  EXPECT_EQ(drop.CountCommand("USER"), 1);
  EXPECT_EQ(images.CountCommand("QUIT"), 0);
  EXPECT_EQ(drop.CountCommand("QUIT"), 0);
  // Neither password shows anywhere.
  for (const std::string& text : {run.out, run.err, RunLog()}) {
    EXPECT_THAT(text, Not(HasSubstr(images.options().password)));
    EXPECT_THAT(text, Not(HasSubstr(kDropPassword)));
  }

  // The run log holds the summary only.
  const std::string export_path = WorkingFolder() + "/" + outputs.export_file;
  EXPECT_THAT(LogLineTexts(RunLog()),
              ElementsAre("Nb Images Mises à jour : 14 photos --- ",
                          "Début Transfert : " + export_path + " - 2 VO - 9 photos",
                          "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : "
                          "PARUVENDU - " +
                              export_path));
  // The console showed the whole run, missing photos included.
  EXPECT_THAT(run.out, StartsWith("Export des données pour PARUVENDU\n"));
  EXPECT_THAT(run.out, HasSubstr(" - Pb Existence : c3_lost.jpg\n"));
  EXPECT_THAT(run.out, HasSubstr(" - Pb Existence : c3_lostm.jpg\n"));
  EXPECT_THAT(run.out, HasSubstr(" - Lecture du répertoire FTP Pixtrove\n"));
  EXPECT_THAT(run.out, HasSubstr(" - Result : <?xml version=\"1.0\"?>"));
}

TEST_F(ParuVenduEndToEndTest, PhotosAndPortalFileGoOverTlsToSelfSignedServers) {
  // Both servers require TLS for the login and every transfer.
  FtpServerOptions image_options = ImageServerOptions();
  FtpServerOptions drop_options = DropOptions();
  for (FtpServerOptions* options : {&image_options, &drop_options}) {
    options->tls_certificate = testing::Certificates().self_signed.certificate;
    options->tls_key = testing::Certificates().self_signed.key;
  }
  FtpTestServer images(image_options);
  FtpTestServer drop(drop_options);
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));
  std::string ini = Ini(images, drop.HostField(), "TestFTPPixtrove=1\r\nTLS=2\r\n");
  const std::string image_folder_key = "PathFTP=www/pixtrove\r\n";
  ini.replace(ini.find(image_folder_key), image_folder_key.size(),
              image_folder_key + "Passif=1\r\nTLS=2\r\n");

  const RunResult run = RunKalvex(ini);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const Outputs outputs = FindOutputs();
  EXPECT_EQ(ReadFile(drop.Home() + "/" + outputs.export_file),
            ReadFile(WorkingFolder() + "/" + outputs.export_file));
  EXPECT_EQ(images.CountCommand("STOR"), 14);
  for (const FtpTestServer* server : {&images, &drop}) {
    EXPECT_EQ(server->Commands().front(), "AUTH TLS");
    EXPECT_EQ(server->CountCommand("PROT P"), 1);
  }
  // [Pixtrove] Passif=1: passive mode on the image server.
  EXPECT_EQ(images.CountCommand("EPSV"), 15);  // the listing and 14 photos
  EXPECT_EQ(images.CountCommand("PORT") + images.CountCommand("EPRT"), 0);
  // One warning per session for the whole run.
  for (const char* session : {"IdFTP1", "IdFTP2"}) {
    const std::string warning =
        "n'est pas vérifié pour cette session (" + std::string(session) + ", TLS=2)";
    EXPECT_EQ(run.out.find(warning), run.out.rfind(warning)) << run.out;
    EXPECT_NE(run.out.find(warning), std::string::npos) << run.out;
  }
}

TEST_F(ParuVenduEndToEndTest, EquipmentCodesStayWithTheSwitchOffOrAbsent) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions());
  PreparePhotos(images);
  for (const char* switches : {"FlgInfoEquip=0\r\n", ""}) {
    WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));
    const RunResult run = RunKalvex(Ini(images, drop.HostField(), switches));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Outputs outputs = FindOutputs();
    const std::string saved = ReadFile(WorkingFolder() + "/" + outputs.export_file);
    EXPECT_THAT(saved, HasSubstr("<EqutInterieur>;Clim;GPS;</EqutInterieur>"
                                 "<EqutExterieur>;JantAll;</EqutExterieur>"
                                 "<EqutSecurite>;ABS;</EqutSecurite>"))
        << switches;
    EXPECT_THAT(saved, HasSubstr("<InfoComplement>;CtOK;</InfoComplement>")) << switches;
    // With the image-server check off nothing is listed or sent, and no update line.
    const std::vector<std::string> log = LogLineTexts(RunLog());
    ASSERT_EQ(log.size(), 2u) << RunLog();
    EXPECT_THAT(log[0], StartsWith("Début Transfert : "));
    EXPECT_THAT(log[1], StartsWith("Transfert FTP OK : "));
  }
  EXPECT_EQ(images.CountCommand("NLST"), 0);
  EXPECT_EQ(images.CountCommand("STOR"), 0);
}

TEST_F(ParuVenduEndToEndTest, FailedUploadEndsTheRunWithExitCodeThree) {
  FtpTestServer images(ImageServerOptions());
  FtpServerOptions refusing = DropOptions();
  refusing.refuse_stor = true;
  FtpTestServer drop(refusing);
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));

  RunResult run = RunKalvex(Ini(images, drop.HostField(), ""));
  EXPECT_EQ(run.exit_code, 3) << run.err;
  const std::string export_path = WorkingFolder() + "/" + FindOutputs().export_file;
  EXPECT_EQ(LogLineTexts(RunLog()).back(),
            "Transfert FTP : Erreur lors du transfert. Fichier VO actualisé transmis sur site "
            "FTP : PARUVENDU - " +
                export_path);
  EXPECT_TRUE(Names(drop.Home()).empty());

  // A portal drop that cannot be reached: the connection error, same ending.
  drop.Stop();
  run = RunKalvex(Ini(images, drop.HostField(), ""));
  EXPECT_EQ(run.exit_code, 3) << run.err;
  EXPECT_EQ(LogLineTexts(RunLog()).back(),
            "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé transmis sur "
            "site FTP : PARUVENDU - " +
                export_path);
}

TEST_F(ParuVenduEndToEndTest, FailedImageServerListingEndsTheRun) {
  FtpServerOptions failing = ImageServerOptions();
  failing.fail_nlst = true;
  FtpTestServer images(failing);
  FtpTestServer drop(DropOptions());
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));

  const RunResult run = RunKalvex(Ini(images, drop.HostField(), "TestFTPPixtrove=1\r\n"));
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("FTP IdFTP1 (" + images.HostField() + ") : "));
  EXPECT_THAT(run.err, HasSubstr("550 Name listing refused."));
  EXPECT_THAT(run.err, Not(HasSubstr(images.options().password)));
  // Nothing written, nothing sent; the log ends where the run stopped.
  EXPECT_EQ(Names(WorkingFolder()), std::vector<std::string>{"ExpDatasParuVendu.xml"});
  EXPECT_TRUE(Names(drop.Home()).empty());
  EXPECT_EQ(images.CountCommand("STOR"), 0);
  EXPECT_EQ(LogLineTexts(RunLog()).back(), "Lecture du répertoire FTP Pixtrove");
}

TEST_F(ParuVenduEndToEndTest, MissingOrMalformedInputEndsWithTheCursorError) {
  const std::string ini = "[Options]\r\nPathImages=" + Photos() +
                          "\r\n[PARUVENDU]\r\n"
                          "ServeurFTP=127.0.0.1:" +
                          std::to_string(testing::ClosedPort()) + "\r\n";
  const std::string input = Windir() + "\\TEMP\\Kalvex\\ExpDatasParuVendu.xml";

  RunResult run = RunKalvex(ini, "PARUVENDU");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("TXMLCursor.Load FileName[" + input + "] does not exists\r\n"));
  EXPECT_EQ(Names(WorkingFolder()), std::vector<std::string>{});

  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml",
            "<?xml version=\"1.0\"?>\r\n<document>\r\n<DataVOS>\r\n</document>\r\n");
  run = RunKalvex(ini, "PARUVENDU");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("TXMLCursor.Load FileName: \"" + input + "\"\r\nError "));
  EXPECT_THAT(run.err, HasSubstr(" on line 4, char "));
  EXPECT_EQ(Names(WorkingFolder()), std::vector<std::string>{"ExpDatasParuVendu.xml"});
  EXPECT_EQ(RunLog(), "");  // restarted at the start of the run, nothing after
}

TEST_F(ParuVenduEndToEndTest, DropKilledMidUploadLeavesNoFileUnderTheFinalName) {
  FtpTestServer images(ImageServerOptions());
  FtpServerOptions dying = DropOptions();
  dying.die_after_bytes = 1024;
  FtpTestServer drop(dying);
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));
  const RunResult run = RunKalvex(Ini(images, drop.HostField(), ""));
  EXPECT_EQ(run.exit_code, 3) << run.out << run.err;
  const std::string export_file = FindOutputs().export_file;
  ASSERT_FALSE(export_file.empty());
  // Only the temporary name received the first kilobyte; the final name never appeared.
  EXPECT_EQ(Names(drop.Home()), std::vector<std::string>{export_file + ".part"});
  EXPECT_THAT(LogLineTexts(RunLog()).back(),
              StartsWith("Transfert FTP : Erreur lors du transfert. Fichier VO actualisé"));
}

TEST_F(ParuVenduEndToEndTest, UnsetWindirEndsTheRunBeforeAnythingIsWritten) {
  const std::vector<std::string> before = Names(dir_.path());
  const bool root_temp = testing::PathExists("/TEMP");
  const RunResult run = Wait(Launch("[Options]\r\n", "ParuVendu", "nowindir", nullptr), "nowindir");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, StartsWith("La variable d'environnement Windir n'est pas définie"));
  std::vector<std::string> after = Names(dir_.path());
  std::erase_if(after, [](const std::string& name) {
    return name == "bin" || name == "out-nowindir" || name == "err-nowindir";
  });
  EXPECT_EQ(after, before);
  EXPECT_EQ(testing::PathExists("/TEMP"), root_temp);
}

TEST_F(ParuVenduEndToEndTest, ASecondRunOfTheSamePortalStopsAtOnceAndTheFirstEndsWhole) {
  KALVEX_SKIP_UNLESS_POSIX();  // the first run is paused
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions());
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));
  const std::string ini = Ini(images, drop.HostField(), "TestFTPPixtrove=1\r\n");
  const std::string log = Windir() + "/TEMP/DadozoVavirePARUVENDU.log";

  // The first run is held still once it has its log, so the second surely meets it.
  testing::Process first = Launch(ini, "ParuVendu", "first", Windir().c_str());
  for (int i = 0; i < 3000 && !testing::PathExists(log); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(testing::PathExists(log));
  first.Pause();
  const std::string log_then = ReadFile(log);
  const std::vector<std::string> folder_then = Names(WorkingFolder());

  const RunResult second = Wait(Launch(ini, "ParuVendu", "second", Windir().c_str()), "second");
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err, "Un export PARUVENDU est déjà en cours (verrou " + Windir() +
                            "/TEMP/DadozoVavirePARUVENDU.lock) : ce lancement s'arrête sans "
                            "toucher au journal ni aux fichiers du portail.\n");
  EXPECT_EQ(ReadFile(log), log_then);
  EXPECT_EQ(Names(WorkingFolder()), folder_then);

  first.Resume();
  const RunResult run = Wait(first, "first");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  // The first run's outputs and summary are whole; every photo went up once.
  const Outputs outputs = FindOutputs();
  EXPECT_EQ(ReadFile(drop.Home() + "/" + outputs.export_file),
            ReadFile(WorkingFolder() + "/" + outputs.export_file));
  EXPECT_EQ(LogLineTexts(RunLog()).size(), 3u) << RunLog();
  EXPECT_EQ(images.CountCommand("STOR"), 14);
}

TEST_F(ParuVenduEndToEndTest, StopSignalEndsWithItsCodeAndLeavesNoTemporaryFile) {
  FtpTestServer images(ImageServerOptions());
  testing::SilentServer drop;  // the run waits on it, well after its saves
  PreparePhotos(images);
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml", Latin9(kDocument));
  // What a run killed during an earlier save left behind.
  WriteFile(WorkingFolder() + "/FerlaneDatasVO-20261208.xml.kalvex-tmp-PARUVENDU-Qw12Er", "<do");
  testing::Process run_process = Launch(Ini(images, "127.0.0.1:" + std::to_string(drop.port()), ""),
                                        "ParuVendu", "term", Windir().c_str());
  for (int i = 0; i < 6000 && drop.Connections() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(drop.Connections(), 1);
  run_process.Stop(testing::StopRequest::kTerminate);
  const RunResult run = Wait(run_process, "term");
  EXPECT_EQ(run.exit_code, testing::ExitCodeOnStop(testing::StopRequest::kTerminate));
  const Outputs outputs = FindOutputs();
  EXPECT_EQ(
      Names(WorkingFolder()),
      (std::vector<std::string>{outputs.stamped, "ExpDatasParuVendu.xml", outputs.export_file}));
  EXPECT_THAT(run.out, HasSubstr("Fichiers temporaires d'un export interrompu supprimés : 1\n"));
}

TEST_F(ParuVenduEndToEndTest, SilentImageServerCostsOneTimeOutWhateverTheStock) {
  testing::SilentServer images;
  FtpTestServer drop(DropOptions());
  std::string links;
  for (int i = 0; i < 200; ++i) {
    const std::string name = "p" + std::to_string(i);
    WriteFile(Photos() + "/" + name + ".jpg", "jpeg " + name);
    WriteFile(Photos() + "/" + name + "m.jpg", "thumb " + name);
    links += "<LiensImages><idNVO>1</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
  }
  WriteFile(WorkingFolder() + "/ExpDatasParuVendu.xml",
            "<?xml version=\"1.0\"?><document><DataVOS><DataVO><idNVO>1</idNVO></DataVO>"
            "</DataVOS><LiensImagesS>" +
                links + "</LiensImagesS></document>");
  const std::string ini =
      "[Options]\r\nPathImages=" + Photos() +
      "\r\n[Pixtrove]\r\nServeurFTP=127.0.0.1:" + std::to_string(images.port()) +
      "\r\n[PARUVENDU]\r\nServeurFTP=" + drop.HostField() + "\r\nUser=" + kDropUser +
      "\r\nPassWord=" + kDropPassword + "\r\nTestFTPPixtrove=1\r\n";
  // Every run of these tests is bounded at two minutes (exit code 124 beyond): this one
  // costs one connect time-out, then the upload.
  const RunResult run = RunKalvex(ini);
  // The photos did not reach the image server: the portal file went, the code says so.
  EXPECT_EQ(run.exit_code, 6) << run.err;
  EXPECT_EQ(images.Connections(), 1);
  EXPECT_EQ(LogLineTexts(RunLog()).front(), "Nb Images non envoyées : 400 photos --- ");
  EXPECT_THAT(run.out, HasSubstr(" injoignable : plus aucune tentative de connexion jusqu'à la "
                                 "fin du programme.\n"));
  EXPECT_EQ(Names(drop.Home()).size(), 1u);
}

}  // namespace
}  // namespace kalvex
