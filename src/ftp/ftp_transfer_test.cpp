#include "ftp/ftp_transfer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "ftp/ftp_test_harness.h"

namespace kalvex {
namespace {

using testing::ClosedPort;
using ::testing::ElementsAre;
using testing::FtpHarness;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::SilentServer;
using testing::WriteFile;

TEST(RemoteFileNameTest, TakesTheTextAfterTheLastSlashOrColon) {
  EXPECT_EQ(RemoteFileName("a/b/p1.jpg"), "p1.jpg");
  EXPECT_EQ(RemoteFileName("x:p1.jpg"), "p1.jpg");
  EXPECT_EQ(RemoteFileName("p1.jpg"), "p1.jpg");
  EXPECT_EQ(RemoteFileName("a/"), "");
  EXPECT_EQ(RemoteFileName("C:\\images\\p1.jpg"), "\\images\\p1.jpg");
  EXPECT_EQ(RemoteFileName("http://host/img/p7.jpg"), "p7.jpg");
  EXPECT_EQ(RemoteFileName(""), "");
}

TEST(LocalFileNameTest, TakesTheTextAfterTheLastSeparator) {
  EXPECT_EQ(LocalFileName("C:\\images\\p1.jpg"), "p1.jpg");
  EXPECT_EQ(LocalFileName("/srv/images\\p1m.jpg"), "p1m.jpg");
  EXPECT_EQ(LocalFileName("c:p1.jpg"), "p1.jpg");
  EXPECT_EQ(LocalFileName("p1.jpg"), "p1.jpg");
  // A "/" belongs to the name: the photo keeps its sub-folder.
  EXPECT_EQ(LocalFileName("/srv/images\\2024/p1.jpg"), "2024/p1.jpg");
}

TEST(ParseFtpHostTest, HostPortAndBracketedAddresses) {
  FtpEndpoint plain = ParseFtpHost("ftp.example.test");
  EXPECT_EQ(plain.host, "ftp.example.test");
  EXPECT_EQ(plain.port, 21);
  FtpEndpoint with_port = ParseFtpHost(" 127.0.0.1:2121 ");
  EXPECT_EQ(with_port.host, "127.0.0.1");
  EXPECT_EQ(with_port.port, 2121);
  FtpEndpoint v6 = ParseFtpHost("[::1]:2121");
  EXPECT_EQ(v6.host, "::1");
  EXPECT_EQ(v6.port, 2121);
  FtpEndpoint v6_plain = ParseFtpHost("[::1]");
  EXPECT_EQ(v6_plain.host, "::1");
  EXPECT_EQ(v6_plain.port, 21);
  FtpEndpoint bare_v6 = ParseFtpHost("::1");
  EXPECT_EQ(bare_v6.host, "::1");
  EXPECT_EQ(bare_v6.port, 21);
  EXPECT_EQ(ParseFtpHost("127.0.0.1:99999").port, 0);
  EXPECT_EQ(ParseFtpHost("127.0.0.1:2x").port, 0);
}

// ---- Progress of the portal upload ----

class CountingFrontEnd : public NullFrontEnd {
 public:
  void ProcessPendingEvents() override { ++processed; }
  int processed = 0;
};

class ProgressTest : public ::testing::Test {
 protected:
  ProgressTest() { h.window.SetFrontEnd(&front_end); }
  ~ProgressTest() override { h.window.SetFrontEnd(&null_front_end); }
  FtpHarness h;
  CountingFrontEnd front_end;
  NullFrontEnd null_front_end;
};

class Label2Recorder : public WindowObserver {
 public:
  void TextChanged(WindowField field, const std::string& text) override {
    if (field == WindowField::kLabel2) texts.push_back(text);
  }
  std::vector<std::string> texts;
};

TEST_F(ProgressTest, BlocksOfFiftyOutOfTwoHundredShowQuarterSteps) {
  Label2Recorder recorder;
  h.window.SetObserver(&recorder);
  h.ftp.IdFTP2WorkBegin(200);
  for (int sent = 50; sent <= 200; sent += 50) h.ftp.IdFTP2Work(sent);
  h.window.SetObserver(nullptr);
  EXPECT_THAT(recorder.texts, ElementsAre("Transfert en cours : 25%", "Transfert en cours : 50%",
                                          "Transfert en cours : 75%", "Transfert en cours : 100%"));
  EXPECT_EQ(h.ftp.ProgressMax(), 200);
  EXPECT_EQ(h.ftp.LastShownPercentage(), 100);
  EXPECT_EQ(front_end.processed, 4);
}

TEST_F(ProgressTest, ReportsRoundingToZeroOrToTheSamePercentChangeNothing) {
  h.window.SetText(WindowField::kLabel2, "Label2");
  h.ftp.IdFTP2WorkBegin(1000);
  h.ftp.IdFTP2Work(1);
  h.ftp.IdFTP2Work(4);
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Label2");
  EXPECT_EQ(front_end.processed, 0);
  h.ftp.IdFTP2Work(10);  // 1 %
  h.ftp.IdFTP2Work(12);  // still 1 %
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 1%");
  EXPECT_EQ(front_end.processed, 1);
}

TEST_F(ProgressTest, HalvesRoundToTheEvenNeighbour) {
  h.ftp.IdFTP2WorkBegin(200);
  h.ftp.IdFTP2Work(5);  // 2.5 -> 2
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 2%");
  h.ftp.IdFTP2Work(7);  // 3.5 -> 4
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 4%");
  h.ftp.IdFTP2Work(1);  // 0.5 -> 0
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 0%");
}

TEST_F(ProgressTest, ZeroMaximumIgnoresReportsAndShownPercentIsNeverReset) {
  h.window.SetText(WindowField::kLabel2, "Label2");
  h.ftp.IdFTP2WorkBegin(0);
  h.ftp.IdFTP2Work(50);
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Label2");
  h.ftp.IdFTP2WorkBegin(100);
  h.ftp.IdFTP2Work(100);
  h.ftp.IdFTP2WorkBegin(400);
  h.ftp.IdFTP2Work(400);  // 100 % again: already shown
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 100%");
  EXPECT_EQ(front_end.processed, 1);
}

// ---- Image server: check off, unreachable ----

TEST(ImageOnServerTest, CheckOffAnswersTrueAndNeverConnects) {
  FtpHarness h;
  SilentServer silent;  // a connection attempt would hang until the time-out
  h.PointImageServerAt("127.0.0.1:" + std::to_string(silent.port()), {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(false);
  h.window.SetText(WindowField::kLabel1, "Label1");
  EXPECT_TRUE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_TRUE(h.ftp.ImageOnServer("nothing-anywhere.jpg"));
  EXPECT_FALSE(h.ftp.ImageServerListing().has_value());
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Label1");
  EXPECT_THAT(h.window.MemoLines(), ElementsAre("-> "));  // only the log restart
}

TEST(ImageOnServerTest, UnreachableServerAnswersFalseEveryTimeAndNeverLists) {
  FtpHarness h;
  const std::string address = "127.0.0.1:" + std::to_string(ClosedPort());
  h.PointImageServerAt(address, {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  h.window.SetText(WindowField::kLabel1, "Image 1 : x");
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 1 : x - on connection p1.jpg");
  EXPECT_FALSE(h.ftp.ImageOnServer("p1m.jpg"));
  // Each call tried again: the label grew again.
  EXPECT_EQ(h.window.Text(WindowField::kLabel1),
            "Image 1 : x - on connection p1.jpg - on connection p1m.jpg");
  EXPECT_FALSE(h.ftp.ImageServerListing().has_value());
  EXPECT_THAT(h.LogText(), Not(HasSubstr("Lecture du répertoire FTP Pixtrove")));
  EXPECT_THAT(h.MemoText(), Not(HasSubstr("Lecture du répertoire FTP Pixtrove")));
  EXPECT_THAT(h.MemoText(),
              HasSubstr("\nRésolution du nom 127.0.0.1.\nConnexion à " + address + ".\n"));
  EXPECT_THAT(h.MemoText(), HasSubstr("\nErreur : FTP IdFTP1 (" + address +
                                      ") : connexion au serveur impossible (Connexion refusée)\n"));
}

// ---- Image server: listing ----

class ImageServerTest : public ::testing::Test {
 protected:
  void Start(FtpServerOptions options = {}) {
    options.folders.push_back("www/pixtrove");
    server = std::make_unique<FtpTestServer>(options);
    h.PointImageServerAt(server->HostField(), options, "www/pixtrove");
    h.ftp.SetImageServerCheck(true);
  }
  std::string Pixtrove(const std::string& name) const {
    return server->Home() + "/www/pixtrove/" + name;
  }
  FtpHarness h;
  std::unique_ptr<FtpTestServer> server;
};

TEST_F(ImageServerTest, ListsOnceAndComparesIgnoringCase) {
  Start();
  WriteFile(Pixtrove("P1.JPG"), "x");
  WriteFile(Pixtrove("p2m.jpg"), "y");
  h.window.SetText(WindowField::kLabel1, "Image 1 : c:\\img\\p1.jpg");
  EXPECT_TRUE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_EQ(h.window.Text(WindowField::kLabel1),
            "Image 1 : c:\\img\\p1.jpg - on connection p1.jpg");
  EXPECT_TRUE(h.ftp.ImageOnServer("P2M.JPG"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p3.jpg"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg "));  // whole entry, no trimming
  for (int i = 0; i < 20; ++i) h.ftp.ImageOnServer("q" + std::to_string(i) + ".jpg");
  EXPECT_EQ(server->CountCommand("NLST"), 1);
  EXPECT_EQ(server->CountCommand("USER"), 1);
  EXPECT_EQ(server->CountCommand("CWD www/pixtrove"), 1);
  EXPECT_EQ(server->CountCommand("QUIT"), 0);
  EXPECT_EQ(server->Commands().back(), "NLST");
  ASSERT_TRUE(h.ftp.ImageServerListing().has_value());
  EXPECT_THAT(h.ftp.ImageServerListing()->Names(), ElementsAre("P1.JPG", "P2M.JPG"));
  // Logged once, just before the listing.
  std::string log = h.LogText();
  EXPECT_THAT(log, HasSubstr(" - Lecture du répertoire FTP Pixtrove\r\n"));
  EXPECT_EQ(log.find("Lecture"), log.rfind("Lecture"));
  // Status texts of the session reached the memo, in order.
  std::string memo = h.MemoText();
  size_t resolving = memo.find("Résolution du nom 127.0.0.1.");
  size_t connected = memo.find("Connecté.");
  size_t logged_in = memo.find("Identification réussie.");
  size_t cwd = memo.find("Passage dans le dossier www/pixtrove.");
  size_t listing = memo.find("Lecture de la liste des fichiers.");
  ASSERT_NE(listing, std::string::npos);
  EXPECT_LT(resolving, connected);
  EXPECT_LT(connected, logged_in);
  EXPECT_LT(logged_in, cwd);
  EXPECT_LT(cwd, listing);
}

TEST_F(ImageServerTest, RefusedLoginIsSwallowedAndRetried) {
  FtpServerOptions options;
  options.refuse_login = true;
  Start(options);
  WriteFile(Pixtrove("p1.jpg"), "x");
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_EQ(server->CountCommand("PASS"), 2);
  EXPECT_EQ(server->CountCommand("NLST"), 0);
  EXPECT_FALSE(h.ftp.ImageServerListing().has_value());
  EXPECT_THAT(h.MemoText(), HasSubstr("Réponse du serveur : 530 Authentication failed."));
}

TEST_F(ImageServerTest, RefusedFolderLeavesTheSessionInItsLoginFolder) {
  FtpServerOptions options;
  options.refuse_cwd = true;
  Start(options);
  WriteFile(server->Home() + "/home-photo.jpg", "x");
  WriteFile(Pixtrove("p1.jpg"), "x");
  // The failed change of folder answers false, but the session stays logged in.
  EXPECT_FALSE(h.ftp.ImageOnServer("home-photo.jpg"));
  EXPECT_FALSE(h.ftp.ImageServerListing().has_value());
  EXPECT_THAT(h.MemoText(), HasSubstr("Réponse du serveur : 550 Folder change refused."));
  // The next call finds it connected and lists the login folder.
  EXPECT_TRUE(h.ftp.ImageOnServer("home-photo.jpg"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_EQ(server->CountCommand("NLST"), 1);
  // Uploads land in the login folder as well.
  WriteFile(h.Windir() + "/up.jpg", "photo bytes");
  h.ftp.SendImage(h.Windir() + "\\up.jpg");
  EXPECT_EQ(ReadFile(server->Home() + "/up.jpg"), "photo bytes");
  EXPECT_FALSE(std::filesystem::exists(Pixtrove("up.jpg")));
}

TEST_F(ImageServerTest, FailedListingIsRaised) {
  FtpServerOptions options;
  options.fail_nlst = true;
  Start(options);
  try {
    h.ftp.ImageOnServer("p1.jpg");
    FAIL() << "no error";
  } catch (const FtpError& error) {
    EXPECT_EQ(error.stage(), FtpError::Stage::kList);
    EXPECT_THAT(error.what(),
                HasSubstr("FTP IdFTP1 (127.0.0.1:" + std::to_string(server->port()) + ") : "));
    EXPECT_THAT(error.what(), HasSubstr("550 Name listing refused."));
    EXPECT_THAT(error.what(), Not(HasSubstr(options.password)));
  }
  EXPECT_THAT(h.LogText(), HasSubstr(" - Lecture du répertoire FTP Pixtrove\r\n"));
}

TEST_F(ImageServerTest, SendImageStoresByteIdenticalUnderItsFileName) {
  Start();
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>((i * 7) % 256);
  bytes += "\r\n\n\r";  // binary type: line ends stay as they are
  WriteFile(h.Windir() + "/p9.jpg", bytes);
  WriteFile(Pixtrove("p9.jpg"), "older and longer content that must be replaced, not appended");
  h.window.SetText(WindowField::kLabel1, "Image 1 : p9");
  h.window.SetText(WindowField::kLabel2, "Update 1 : p9");
  EXPECT_TRUE(h.ftp.SendImage(h.Windir() + "\\p9.jpg"));
  EXPECT_EQ(ReadFile(Pixtrove("p9.jpg")), bytes);
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 1 : p9 - on connection");
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Update 1 : p9 - on transfert");
  EXPECT_THAT(server->Commands(), ::testing::Contains("TYPE I"));
  EXPECT_THAT(server->Commands(), ::testing::Contains("STOR p9.jpg"));
  EXPECT_EQ(server->CountCommand("APPE"), 0);
  // Active mode: the client names its port, the server connects.
  EXPECT_EQ(server->CountCommand("PASV") + server->CountCommand("EPSV"), 0);
  EXPECT_EQ(server->CountCommand("EPRT") + server->CountCommand("PORT"), 1);
  EXPECT_THAT(h.MemoText(), HasSubstr("Envoi de p9.jpg."));
  EXPECT_THAT(h.MemoText(), HasSubstr("Transfert terminé."));
}

TEST_F(ImageServerTest, SendImageFailuresAnswerFalseWithoutALogLine) {
  FtpServerOptions options;
  options.refuse_stor = true;
  Start(options);
  WriteFile(h.Windir() + "/p1.jpg", "x");
  EXPECT_FALSE(h.ftp.SendImage(h.Windir() + "\\p1.jpg"));
  EXPECT_FALSE(h.ftp.SendImage(h.Windir() + "\\missing.jpg"));
  EXPECT_FALSE(std::filesystem::exists(Pixtrove("p1.jpg")));
  EXPECT_THAT(h.MemoText(), HasSubstr("Réponse du serveur : 553 Storing refused."));
  EXPECT_EQ(h.LogText(), "");
  // One login for both uploads.
  EXPECT_EQ(server->CountCommand("USER"), 1);
}

// ---- Image server: listings and transfers beyond their bounds ----

// The error of the first check against a server whose listing goes wrong; no listing is
// kept, and the run log says the listing was started.
std::string ListingError(FtpHarness& h) {
  try {
    h.ftp.ImageOnServer("p1.jpg");
  } catch (const FtpError& error) {
    EXPECT_EQ(error.stage(), FtpError::Stage::kList);
    EXPECT_FALSE(h.ftp.ImageServerListing().has_value());
    return error.what();
  }
  ADD_FAILURE() << "no error";
  return "";
}

TEST_F(ImageServerTest, AListingOfAMillionNamesIsKeptOneMoreEndsWithAClearError) {
  FtpServerOptions options;
  options.huge_nlst_names = 1000000;
  Start(options);
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_TRUE(h.ftp.ImageOnServer("N1000000"));
  EXPECT_TRUE(h.ftp.ImageOnServer("n1xxxxxx"));
  EXPECT_EQ(h.ftp.ImageServerListing()->size(), 1000000u);

  FtpHarness other;
  options.huge_nlst_names = 1000001;
  FtpTestServer longer(options);
  other.PointImageServerAt(longer.HostField(), options, "");
  other.ftp.SetImageServerCheck(true);
  EXPECT_EQ(ListingError(other), "FTP IdFTP1 (" + longer.HostField() +
                                     ") : liste des fichiers du serveur trop longue (plus de "
                                     "1000000 noms) : lecture abandonnée");
}

TEST_F(ImageServerTest, AListingOfMoreThan64MiBEndsWithAClearError) {
  FtpServerOptions options;
  options.huge_nlst_names = 340000;
  options.huge_nlst_length = 200;  // 68 MB with the line ends
  Start(options);
  EXPECT_EQ(ListingError(h), "FTP IdFTP1 (" + server->HostField() +
                                 ") : liste des fichiers du serveur trop longue (plus de 64 "
                                 "Mio) : lecture abandonnée");
}

TEST_F(ImageServerTest, AListingThatNeverEndsStopsAtItsTimeBound) {
  FtpServerOptions options;
  options.endless_nlst = true;  // faster than the minimum speed, far below the size bound
  Start(options);
  FtpTimeouts timeouts = testing::ShortTimeouts();
  timeouts.listing = std::chrono::seconds(3);
  h.ftp.SetTimeouts(timeouts);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ListingError(h), "FTP IdFTP1 (" + server->HostField() +
                                 ") : liste des fichiers du serveur non terminée au bout de 3 s "
                                 ": lecture abandonnée");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(ImageServerTest, AnUploadBelowTheMinimumSpeedIsAbandoned) {
  // 1 KiB/s averaged over 60 s unless configured otherwise.
  EXPECT_EQ(FtpTimeouts{}.low_speed_bytes, 1024);
  EXPECT_EQ(FtpTimeouts{}.low_speed_time, std::chrono::seconds(60));
  FtpServerOptions options;
  options.trickle_stor = 32 * 1024;
  Start(options);
  FtpTimeouts timeouts = testing::ShortTimeouts();
  timeouts.low_speed_bytes = 256 * 1024;
  h.ftp.SetTimeouts(timeouts);
  // Far more than the socket buffers hold, so most of it goes at the server's pace.
  WriteFile(h.Windir() + "/big.jpg", std::string(32 << 20, 'b'));
  EXPECT_FALSE(h.ftp.SendImage(h.Windir() + "\\big.jpg"));
  EXPECT_THAT(h.MemoText(), HasSubstr("\nErreur : FTP IdFTP1 (" + server->HostField() +
                                      ") : délai d'attente dépassé\n"));
}

TEST_F(ImageServerTest, AClosedPassiveDataPortIsNamedAsTheDataConnection) {
  FtpServerOptions options;
  options.closed_pasv = true;
  Start(options);
  h.link.SetSecurity(FtpServer::kImages, {/*passive=*/true, TlsMode::kOff, ""});
  WriteFile(h.Windir() + "/p1.jpg", "x");
  EXPECT_FALSE(h.ftp.SendImage(h.Windir() + "\\p1.jpg"));
  EXPECT_THAT(h.MemoText(),
              ::testing::ContainsRegex("\nErreur : FTP IdFTP1 \\(" + server->HostField() +
                                       "\\) : connexion de données impossible vers "
                                       "127\\.0\\.0\\.1:[0-9]+ \\(Connexion refusée\\)\n"));
  EXPECT_THAT(h.MemoText(), Not(HasSubstr("connexion au serveur impossible")));
  // The control connection worked: the session is still logged in, the server not given up.
  EXPECT_TRUE(h.ftp.IdFTP1().Connected());
  EXPECT_FALSE(h.ftp.IdFTP1().Unreachable());
}

TEST_F(ImageServerTest, AReplyOfAHundredThousandLinesIsShownShortened) {
  FtpServerOptions options;
  options.full_stor = true;
  options.long_reply = 100000;
  Start(options);
  WriteFile(h.Windir() + "/p1.jpg", "x");
  EXPECT_FALSE(h.ftp.SendImage(h.Windir() + "\\p1.jpg"));
  // libcurl gives up such a reply on its own; what it read is not echoed.
  EXPECT_LT(h.MemoText().size(), 5000u);
  EXPECT_EQ(h.MemoLinesWith("Réponse du serveur : 552-Storage allocation exceeded"), 10);
  EXPECT_EQ(h.MemoLinesWith("Réponse du serveur trop longue : ses lignes suivantes ne sont pas "
                            "affichées."),
            1);

  // A long reply that ends: its first lines, how many were left out, its last line.
  FtpHarness other;
  options.long_reply = 2000;
  FtpTestServer shorter(options);
  other.PointImageServerAt(shorter.HostField(), options, "");
  EXPECT_FALSE(other.ftp.SendImage(h.Windir() + "\\p1.jpg"));
  EXPECT_THAT(other.MemoText(),
              HasSubstr("line 10.\nRéponse du serveur trop longue : ses lignes suivantes ne sont "
                        "pas affichées.\nRéponse du serveur : 1989 lignes non affichées.\n"
                        "Réponse du serveur : 552 Exceeded storage allocation.\n"));
  EXPECT_EQ(other.MemoLinesWith("552-Storage"), 10);
}

// ---- Portal drop ----

class PortalDropTest : public ::testing::Test {
 protected:
  void Start(FtpServerOptions options = {}) {
    options.folders.push_back("depot");
    server = std::make_unique<FtpTestServer>(options);
    h.PointPortalDropAt(server->HostField(), options, "depot");
  }
  std::string Export(const std::string& name, const std::string& bytes) {
    WriteFile(h.Windir() + "/" + name, bytes);
    return h.Windir() + "\\" + name;
  }
  FtpHarness h;
  std::unique_ptr<FtpTestServer> server;
};

TEST_F(PortalDropTest, UploadsTheExportFileWithProgress) {
  Start();
  std::string bytes(300000, 'v');
  const std::string local = Export("FerlaneDatasVO-20261209.xml", bytes);
  Label2Recorder recorder;
  h.window.SetObserver(&recorder);
  std::string result = "stale";
  h.ftp.SendExportFile(local, result);
  h.window.SetObserver(nullptr);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/depot/FerlaneDatasVO-20261209.xml"), bytes);
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Connexion PARUVENDU - on connection");
  EXPECT_EQ(h.ftp.ProgressMax(), 300000);
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Transfert en cours : 100%");
  ASSERT_GE(recorder.texts.size(), 2u);
  EXPECT_EQ(recorder.texts.front(), "Label2 - on transfert");
  EXPECT_LE(recorder.texts.size(), 102u);
  EXPECT_EQ(h.ftp.LastShownPercentage(), 100);
}

TEST_F(PortalDropTest, TheFileIsStoredUnderATemporaryNameAndRenamedOnceComplete) {
  Start();
  const std::string bytes(100000, 'x');
  const std::string local = Export("FerlaneDatasVO-20261209.xml", bytes);
  WriteFile(server->Home() + "/depot/FerlaneDatasVO-20261209.xml", "yesterday's file");
  std::string result;
  h.ftp.SendExportFile(local, result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/depot/FerlaneDatasVO-20261209.xml"), bytes);
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/FerlaneDatasVO-20261209.xml.part"));
  const std::vector<std::string> commands = server->Commands();
  const auto at = [&](const std::string& command) {
    return std::find(commands.begin(), commands.end(), command) - commands.begin();
  };
  EXPECT_LT(at("STOR FerlaneDatasVO-20261209.xml.part"),
            at("RNFR FerlaneDatasVO-20261209.xml.part"));
  EXPECT_LT(at("RNFR FerlaneDatasVO-20261209.xml.part"), at("RNTO FerlaneDatasVO-20261209.xml"));
  EXPECT_LT(at("RNTO FerlaneDatasVO-20261209.xml"), static_cast<long>(commands.size()));
  EXPECT_EQ(server->CountCommand("STOR"), 1);
  EXPECT_THAT(h.MemoText(),
              HasSubstr("\nFichier déposé sous le nom provisoire FerlaneDatasVO-20261209.xml.part "
                        "puis renommé en FerlaneDatasVO-20261209.xml.\n"));
}

TEST_F(PortalDropTest, AServerThatRefusesToRenameGetsTheFileDirectly) {
  FtpServerOptions options;
  options.refuse_rename = true;
  Start(options);
  const std::string local = Export("a.zip", "PK archive bytes");
  std::string result;
  h.ftp.SendExportFile(local, result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/depot/a.zip"), "PK archive bytes");
  // The temporary copy was deleted; the memo says the file went directly.
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/a.zip.part"));
  EXPECT_EQ(server->CountCommand("DELE a.zip.part"), 1);
  EXPECT_EQ(server->CountCommand("STOR a.zip"), 1);
  EXPECT_THAT(h.MemoText(), HasSubstr("\nLe serveur refuse de renommer a.zip.part : fichier "
                                      "déposé directement sous son nom a.zip.\n"));
}

TEST_F(PortalDropTest, ADropKilledMidUploadLeavesNothingUnderTheFinalName) {
  FtpServerOptions options;
  options.die_after_bytes = 4 * 1024 * 1024;
  Start(options);
  const std::string local = Export("FerlaneDatasVO-20261209.xml", std::string(17 << 20, 'v'));
  std::string result;
  h.ftp.SendExportFile(local, result);
  EXPECT_EQ(result, "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/FerlaneDatasVO-20261209.xml"));
  // What arrived lies under the temporary name only.
  EXPECT_GE(std::filesystem::file_size(server->Home() + "/depot/FerlaneDatasVO-20261209.xml.part"),
            4u << 20);
}

TEST_F(PortalDropTest, AFileTheServerHoldsShortIsAFailedTransferAndIsNotLeftThere) {
  // The server answers 226 while it kept only the first bytes, as after a reset.
  FtpServerOptions options;
  options.short_stor = 1000;
  Start(options);
  std::string result;
  h.ftp.SendExportFile(Export("a.zip", std::string(5000, 'z')), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(server->CountCommand("SIZE a.zip.part"), 1);
  EXPECT_EQ(server->CountCommand("RNFR a.zip.part"), 0);
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/a.zip.part"));
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/a.zip"));
  EXPECT_THAT(h.MemoText(), HasSubstr("\nfichier a.zip.part incomplet sur le serveur (1000 octets "
                                      "reçus sur 5000) : envoi en échec\n"));
}

TEST_F(PortalDropTest, ProxySettingsOfTheEnvironmentAreIgnored) {
  Start();
  // A proxy there would refuse the connection; the session goes straight to the server.
  const std::string proxy = "http://127.0.0.1:" + std::to_string(ClosedPort());
  testing::ScopedEnv ftp_proxy("ftp_proxy", proxy.c_str());
  testing::ScopedEnv all_proxy("all_proxy", proxy.c_str());
  testing::ScopedEnv no_proxy("no_proxy", "");
  std::string result;
  h.ftp.SendExportFile(Export("a.xml", "<a/>"), result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/depot/a.xml"), "<a/>");
}

TEST_F(PortalDropTest, MissingLocalFileIsATransferError) {
  Start();
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\absent.xml", result);
  EXPECT_EQ(result, "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(h.ftp.ProgressMax(), -1);
  EXPECT_EQ(server->CountCommand("STOR"), 0);
}

TEST_F(PortalDropTest, RefusedStoreIsATransferError) {
  FtpServerOptions options;
  options.refuse_stor = true;
  Start(options);
  std::string result;
  h.ftp.SendExportFile(Export("a.xml", "<a/>"), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_THAT(h.MemoText(), HasSubstr("Réponse du serveur : 553 Storing refused."));
}

TEST_F(PortalDropTest, StalledUploadIsATransferErrorAfterTheStallLimit) {
  FtpServerOptions options;
  options.stall_stor = true;
  Start(options);
  // Far more than the socket buffers hold, so the upload really stalls.
  const std::string local = Export("big.xml", std::string(48 * 1024 * 1024, 'b'));
  std::string result;
  h.ftp.SendExportFile(local, result);
  EXPECT_EQ(result, "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_THAT(h.MemoText(), HasSubstr("Erreur : FTP IdFTP2 (" + server->HostField() +
                                      ") : délai d'attente dépassé"));
}

TEST_F(PortalDropTest, RefusedLoginIsAConnectionErrorWithoutUpload) {
  FtpServerOptions options;
  options.refuse_login = true;
  Start(options);
  std::string result;
  h.ftp.SendExportFile(Export("a.xml", "<a/>"), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_EQ(server->CountCommand("STOR"), 0);
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Label2");
}

TEST_F(PortalDropTest, RefusedFolderGivesConnectionErrorThenLaterUploadsGoToLoginFolder) {
  FtpServerOptions options;
  options.refuse_cwd = true;
  Start(options);
  std::string result;
  h.ftp.SendExportFile(Export("a.xml", "<a/>"), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  h.ftp.SendExportFile(Export("b.xml", "<b/>"), result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/b.xml"), "<b/>");
  EXPECT_FALSE(std::filesystem::exists(server->Home() + "/depot/b.xml"));
  EXPECT_EQ(server->CountCommand("CWD depot"), 1);
}

TEST_F(PortalDropTest, UnreachableServerIsAConnectionError) {
  h.PointPortalDropAt("127.0.0.1:" + std::to_string(ClosedPort()), {}, "depot");
  h.ftp.SetPortalCode("AUTOSCOUT24");
  std::string result;
  h.ftp.SendExportFile(Export("a.zip", "PK"), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Connexion AUTOSCOUT24 - on connection");
  EXPECT_EQ(h.ftp.ProgressMax(), 2);
}

TEST_F(PortalDropTest, ServerStoppedBetweenTwoCallsIsNoticedThenAnotherIsReached) {
  Start();
  std::string result;
  h.ftp.SendExportFile(Export("a.xml", "<a/>"), result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  server->Stop();
  h.ftp.SendExportFile(Export("b.xml", "<b/>"), result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_THAT(h.MemoText(), HasSubstr("\nDéconnecté.\n"));
  // The session connects afresh to whatever the fields name next.
  Start();
  h.ftp.SendExportFile(Export("c.xml", "<c/>"), result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  EXPECT_EQ(ReadFile(server->Home() + "/depot/c.xml"), "<c/>");
}

TEST(SilentServerTest, ServerThatNeverAnswersFailsWithinTheTimeOut) {
  FtpHarness h;
  SilentServer silent;
  h.PointPortalDropAt("127.0.0.1:" + std::to_string(silent.port()), {}, "depot");
  h.PointImageServerAt("127.0.0.1:" + std::to_string(silent.port()), {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  // Both sessions gave up on their own time-out; which limit ends the wait varies.
  const std::string address = "127.0.0.1:" + std::to_string(silent.port());
  for (const char* session : {"IdFTP2", "IdFTP1"}) {
    const std::string error = "\nErreur : FTP " + std::string(session) + " (" + address + ") : ";
    const std::string memo = h.MemoText();
    const size_t at = memo.find(error);
    ASSERT_NE(at, std::string::npos) << memo;
    const std::string reason =
        memo.substr(at + error.size(), memo.find('\n', at + 1) - at - error.size());
    EXPECT_EQ(reason, "délai d'attente dépassé");
  }
}

// ---- The password never shows ----

TEST(PasswordTest, NeverInMemoLogOrErrorTexts) {
  FtpHarness h;
  FtpServerOptions options;
  options.password = "Zq9-Secret-Pw";
  options.folders = {"www/pixtrove", "depot"};
  options.fail_nlst = true;
  FtpTestServer server(options);
  h.PointImageServerAt(server.HostField(), options, "www/pixtrove");
  h.PointPortalDropAt(server.HostField(), options, "depot");
  h.ftp.SetImageServerCheck(true);
  std::string errors;
  try {
    h.ftp.ImageOnServer("p1.jpg");
  } catch (const Error& error) {
    errors += error.what();
  }
  std::string result;
  WriteFile(h.Windir() + "/a.xml", "<a/>");
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  EXPECT_EQ(result, "Transfert FTP OK : ");
  // And with a refused login.
  h.window.SetText(WindowField::kParamPassword, "Zq9-Wrong-Pw");
  FtpHarness other;
  other.PointPortalDropAt(server.HostField(), options, "depot");
  other.window.SetText(WindowField::kParamPassword, "Zq9-Wrong-Pw");
  other.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  try {
    other.ftp.IdFTP2().Connect();
  } catch (const FtpError& error) {
    EXPECT_EQ(error.stage(), FtpError::Stage::kLogin);
    errors += error.what();
  }
  EXPECT_THAT(errors, HasSubstr("550 Name listing refused."));
  EXPECT_THAT(errors, HasSubstr("530"));
  for (const std::string& text : {h.MemoText(), h.LogText(), other.MemoText(), errors}) {
    EXPECT_THAT(text, Not(HasSubstr("Zq9-Secret-Pw")));
    EXPECT_THAT(text, Not(HasSubstr("Zq9-Wrong-Pw")));
    EXPECT_THAT(text, Not(HasSubstr("PASS")));
  }
  EXPECT_THAT(h.MemoText(), HasSubstr("Identification en tant que pixuser."));
  EXPECT_THAT(other.MemoText(), HasSubstr("Réponse du serveur : 530"));
}

// A login refused by a server that quotes the password in its reply: the error text
// and the memo the session leaves.
struct QuotedRefusal {
  std::string error;
  std::string memo;
  std::string host;
};
QuotedRefusal RefusedQuotingThePassword(const std::string& password) {
  FtpHarness h;
  FtpServerOptions options;
  options.password = password;
  options.echo_password = true;
  FtpTestServer server(options);
  h.PointPortalDropAt(server.HostField(), options, "");
  QuotedRefusal refusal;
  refusal.host = server.HostField();
  try {
    h.ftp.IdFTP2().Connect();
  } catch (const FtpError& error) {
    refusal.error = error.what();
  }
  refusal.memo = h.MemoText();
  return refusal;
}

TEST(PasswordTest, HiddenEvenWhenTheServerQuotesIt) {
  const QuotedRefusal refusal = RefusedQuotingThePassword("Zq9-Quoted-Pw");
  EXPECT_EQ(refusal.error, "FTP IdFTP2 (" + refusal.host +
                               ") : identification refusée (utilisateur ou mot de passe) - 530 "
                               "Password **** is not right.");
  EXPECT_THAT(refusal.memo, HasSubstr("\nRéponse du serveur : 530 Password **** is not right.\n"));
  EXPECT_THAT(refusal.memo, Not(HasSubstr("Zq9-Quoted-Pw")));
}

TEST(PasswordTest, AShortPasswordIsMaskedOnlyWhereAServerQuotesIt) {
  const QuotedRefusal refusal = RefusedQuotingThePassword("a");
  // The quoted password is masked; every other "a" of the replies stays.
  EXPECT_EQ(refusal.error, "FTP IdFTP2 (" + refusal.host +
                               ") : identification refusée (utilisateur ou mot de passe) - 530 "
                               "Password **** is not right.");
  EXPECT_THAT(refusal.memo, HasSubstr("\nServeur prêt : 220 Kalvex test FTP server ready.\n"));
  EXPECT_THAT(refusal.memo, HasSubstr("\nRéponse du serveur : 530 Password **** is not right.\n"));
  EXPECT_THAT(refusal.memo, HasSubstr("\nConnexion à " + refusal.host + ".\n"));
}

}  // namespace
}  // namespace kalvex

namespace kalvex {
namespace {

TEST(AntiFreezeTest, WindowEventsRunWhileAServerKeepsSilent) {
  testing::FtpHarness h;
  CountingFrontEnd front_end;
  NullFrontEnd null_front_end;
  h.window.SetFrontEnd(&front_end);
  testing::SilentServer silent;
  h.PointPortalDropAt("127.0.0.1:" + std::to_string(silent.port()), {}, "depot");
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  h.window.SetFrontEnd(&null_front_end);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  // A 2-second wait with events about every 250 ms.
  EXPECT_GE(front_end.processed, 4);
}

}  // namespace
}  // namespace kalvex

namespace kalvex {
namespace {

TEST(SessionLifetimeTest, SessionsEndWithTheProcessWithoutQuit) {
  FtpServerOptions options;
  options.folders = {"www/pixtrove", "depot"};
  FtpTestServer server(options);
  {
    testing::FtpHarness h;
    h.PointImageServerAt(server.HostField(), options, "www/pixtrove");
    h.PointPortalDropAt(server.HostField(), options, "depot");
    h.ftp.SetImageServerCheck(true);
    EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
    WriteFile(h.Windir() + "/a.xml", "<a/>");
    std::string result;
    h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
    EXPECT_EQ(result, "Transfert FTP OK : ");
  }
  EXPECT_EQ(server.CountCommand("USER"), 2);
  EXPECT_EQ(server.CountCommand("QUIT"), 0);
}

}  // namespace
}  // namespace kalvex
