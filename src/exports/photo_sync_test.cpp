#include "exports/photo_sync.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ftp/ftp_test_harness.h"

namespace kalvex {
namespace {

using testing::ClosedPort;
using testing::FtpHarness;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::LogLineTexts;
using ::testing::Not;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ThumbnailNameTest, EveryJpgIgnoringCaseBecomesLowerCaseMJpg) {
  EXPECT_EQ(ThumbnailName("P1.JPG"), "P1m.jpg");
  EXPECT_EQ(ThumbnailName("p1.jpg"), "p1m.jpg");
  // The file name only: the folder part is the thumbnail's folder too.
  EXPECT_EQ(ThumbnailName("c:\\img.Jpg\\p1.jPg"), "c:\\img.Jpg\\p1m.jpg");
  EXPECT_EQ(ThumbnailName("/srv/pics.jpg.d/2024.jpg/p1.jpg"), "/srv/pics.jpg.d/2024.jpg/p1m.jpg");
  EXPECT_EQ(ThumbnailName("p1.jpeg"), "p1.jpeg");
  EXPECT_EQ(ThumbnailName("p1.jpg.jpg"), "p1m.jpgm.jpg");
  EXPECT_EQ(ThumbnailName(""), "");
}

class PhotoSyncTest : public ::testing::Test {
 protected:
  PhotoSyncTest() {
    photos = h.Windir() + "/photos";
    std::filesystem::create_directories(photos);
    h.state.photo_folder = h.Windir() + "\\photos";
  }
  void Photo(const std::string& name, const std::string& bytes = "jpeg") {
    WriteFile(photos + "/" + name, bytes);
  }
  void StartServer(FtpServerOptions options = {}) {
    options.folders.push_back("www/pixtrove");
    server = std::make_unique<FtpTestServer>(options);
    h.PointImageServerAt(server->HostField(), options, "www/pixtrove");
    h.ftp.SetImageServerCheck(true);
  }
  std::string OnServer(const std::string& name) const {
    return server->Home() + "/www/pixtrove/" + name;
  }

  FtpHarness h;
  std::string photos;  // native
  std::unique_ptr<FtpTestServer> server;
};

TEST_F(PhotoSyncTest, CheckOffWithBothFilesLogsNothingAndShowsTheThumbnail) {
  Photo("p1.jpg");
  Photo("p1m.jpg");
  h.ftp.SetImageServerCheck(false);
  h.state.photo_counter = 4;
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(h.LogText(), "");
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 4 : " + h.state.photo_folder + "\\p1m.jpg");
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Label2");
}

TEST_F(PhotoSyncTest, CheckOffWithMissingPhotoWritesNothing) {
  h.ftp.SetImageServerCheck(false);
  SyncPhoto(h.context, h.ftp, "absent.jpg");
  EXPECT_EQ(h.LogText(), "");
}

TEST_F(PhotoSyncTest, MissingLocallyAndOnServerIsReported) {
  StartServer();
  SyncPhoto(h.context, h.ftp, "absent.jpg");
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove",
                                     "Pb Existence : absent.jpg", "Pb Existence : absentm.jpg"));
}

TEST_F(PhotoSyncTest, PhotoMissingOnServerIsUploadedByteIdentical) {
  StartServer();
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i % 251);
  Photo("p1.jpg", bytes);
  Photo("p1m.jpg", "thumb");
  h.state.photo_counter = 1;
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(ReadFile(OnServer("p1.jpg")), bytes);
  EXPECT_EQ(ReadFile(OnServer("p1m.jpg")), "thumb");
  EXPECT_EQ(h.state.update_counter, 2);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Update 1 : p1.jpg",
                                     "Update 2 : p1m.jpg"));
  const std::string thumb_path = h.state.photo_folder + "\\p1m.jpg";
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Update 2 : " + thumb_path + " - on transfert");
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 1 : " + thumb_path);
}

TEST_F(PhotoSyncTest, TheThumbnailComesFromThePhotoFolderWhateverItsName) {
  StartServer();
  const std::string folder = h.Windir() + "/pics.jpg.d";
  WriteFile(folder + "/p1.jpg", "photo");
  WriteFile(folder + "/p1m.jpg", "thumb");
  WriteFile(h.Windir() + "/picsm.jpg.d/p1m.jpg", "from another folder");
  h.state.photo_folder = folder;
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(ReadFile(OnServer("p1m.jpg")), "thumb");
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 0 : " + folder + "\\p1m.jpg");
}

TEST_F(PhotoSyncTest, PhotoAlreadyOnServerIsNotSentAgain) {
  StartServer();
  Photo("p1.jpg", "local");
  Photo("p1m.jpg", "local thumb");
  WriteFile(OnServer("P1.JPG"), "server");
  WriteFile(OnServer("p1m.jpg"), "server thumb");
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(server->CountCommand("STOR"), 0);
  EXPECT_EQ(ReadFile(OnServer("p1m.jpg")), "server thumb");
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove"));
}

TEST_F(PhotoSyncTest, OnlyTheMissingThumbnailIsUploaded) {
  StartServer();
  Photo("p1.jpg");
  Photo("p1m.jpg", "thumb");
  WriteFile(OnServer("p1.jpg"), "server");
  h.state.update_counter = 6;
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(h.state.update_counter, 7);
  EXPECT_EQ(server->CountCommand("STOR"), 1);
  EXPECT_THAT(server->Commands(), ::testing::Contains("STOR p1m.jpg"));
  EXPECT_EQ(ReadFile(OnServer("p1m.jpg")), "thumb");
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Update 7 : p1m.jpg"));
}

TEST_F(PhotoSyncTest, PhotoNameWithASubFolderKeepsItOnTheServer) {
  FtpServerOptions options;
  options.folders.push_back("www/pixtrove/2024");
  StartServer(options);
  std::filesystem::create_directories(photos + "/2024");
  Photo("2024/p5.jpg", "photo");
  Photo("2024/p5m.jpg", "thumb");
  WriteFile(OnServer("p5.jpg"), "another vehicle's photo");
  SyncPhoto(h.context, h.ftp, "2024/p5.jpg");
  EXPECT_EQ(ReadFile(OnServer("2024/p5.jpg")), "photo");
  EXPECT_EQ(ReadFile(OnServer("2024/p5m.jpg")), "thumb");
  EXPECT_EQ(ReadFile(OnServer("p5.jpg")), "another vehicle's photo");
  EXPECT_FALSE(PathExists(OnServer("p5m.jpg")));
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Update 1 : 2024/p5.jpg",
                                     "Update 2 : 2024/p5m.jpg"));
  EXPECT_EQ(h.window.Text(WindowField::kLabel2),
            "Update 2 : " + h.state.photo_folder + "\\2024/p5m.jpg - on transfert");
}

TEST_F(PhotoSyncTest, ListingIsMadeOncePerProcessWhateverTheNumberOfPhotos) {
  StartServer();
  for (int i = 0; i < 12; ++i) {
    Photo("v" + std::to_string(i) + ".jpg");
    WriteFile(OnServer("v" + std::to_string(i) + ".jpg"), "s");
    WriteFile(OnServer("v" + std::to_string(i) + "m.jpg"), "s");
  }
  for (int i = 0; i < 12; ++i) SyncPhoto(h.context, h.ftp, "v" + std::to_string(i) + ".jpg");
  EXPECT_EQ(server->CountCommand("NLST"), 1);
  EXPECT_EQ(server->CountCommand("USER"), 1);
  EXPECT_EQ(h.state.update_counter, 0);
}

TEST_F(PhotoSyncTest, UnreachableServerSendsNothingAndEveryLocalFileIsNotSent) {
  h.PointImageServerAt("127.0.0.1:" + std::to_string(ClosedPort()), {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  Photo("p1.jpg");
  Photo("p1m.jpg");
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Pb Envoi : p1.jpg", "Pb Envoi : p1m.jpg"));
  EXPECT_THAT(h.state.report.photos_not_sent, ::testing::ElementsAre("p1.jpg", "p1m.jpg"));
}

// What stays on the server side and the photo folder: only what the tool was asked to put
// in the image folder.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    paths.push_back(entry.path().lexically_relative(folder).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST_F(PhotoSyncTest, PhotosTheServerRefusesAreNotCountedButLoggedAndListed) {
  FtpServerOptions options;
  options.full_stor = true;
  StartServer(options);
  Photo("p1.jpg");
  Photo("p1m.jpg");
  Photo("p2.jpg");
  const std::vector<std::string> photos_before = Tree(photos);
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  SyncPhoto(h.context, h.ftp, "p2.jpg");
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_THAT(
      LogLineTexts(h.LogText()),
      ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Pb Envoi : p1.jpg",
                             "Pb Envoi : p1m.jpg", "Pb Envoi : p2.jpg", "Pb Existence : p2m.jpg"));
  EXPECT_THAT(h.state.report.photos_not_sent,
              ::testing::ElementsAre("p1.jpg", "p1m.jpg", "p2.jpg"));
  EXPECT_EQ(server->CountCommand("STOR"), 3);
  EXPECT_THAT(h.MemoText(), HasSubstr("Réponse du serveur : 552 Exceeded storage allocation."));
  // A refusal is an answer, not a stall: the server is not given up.
  EXPECT_FALSE(h.ftp.IdFTP1().Unreachable());
  EXPECT_THAT(Tree(server->Home()), ::testing::ElementsAre("www", "www/pixtrove"));
  EXPECT_EQ(Tree(photos), photos_before);
}

// A server that takes STOR and then stalls, without reading the data or without its
// final reply: each such transfer costs a whole wait, so the third in a row gives the
// server up, and the photos after it are not tried.
class StallingServerTest : public PhotoSyncTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StallingServerTest, GivesTheServerUpAfterThreeStalledTransfersInARow) {
  FtpServerOptions options;
  (GetParam() ? options.stall_stor : options.stall_stor_reply) = true;
  StartServer(options);  // the harness waits 2 s for a reply
  for (int i = 0; i < 5; ++i) {
    Photo("v" + std::to_string(i) + ".jpg");
    Photo("v" + std::to_string(i) + "m.jpg");
  }
  const std::vector<std::string> photos_before = Tree(photos);
  for (int i = 0; i < 5; ++i) SyncPhoto(h.context, h.ftp, "v" + std::to_string(i) + ".jpg");
  EXPECT_EQ(server->CountCommand("STOR"), 3);
  EXPECT_EQ(h.MemoLinesWith("Serveur " + server->HostField() +
                            " abandonné après 3 transferts de suite bloqués ou hors délai : plus "
                            "aucune tentative jusqu'à la fin du programme."),
            1);
  EXPECT_TRUE(h.ftp.IdFTP1().Unreachable());
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_EQ(h.state.report.photos_not_sent.size(), 10u);
  EXPECT_EQ(h.MemoLinesWith("délai d'attente dépassé"), 3);
  EXPECT_EQ(LogLineTexts(h.LogText()).back(), "Pb Envoi : v4m.jpg");
  EXPECT_EQ(Tree(photos), photos_before);
}

INSTANTIATE_TEST_SUITE_P(DataUnreadOrReplyMissing, StallingServerTest, ::testing::Bool());

// Every case of a photo and its thumbnail, here or not, on the server or not, with the
// check on and off: what is logged, counted and sent, the folder being looked at only
// for a file the server lacks.
TEST_F(PhotoSyncTest, EveryCaseOfPhotoAndThumbnailHereAndOnTheServer) {
  StartServer();
  struct Side {
    bool here;
    bool on_server;
  };
  struct Case {
    std::string name;  // p<n>.jpg, thumbnail p<n>m.jpg
    Side photo;
    Side thumbnail;
  };
  std::vector<Case> cases;
  for (int bits = 0; bits < 16; ++bits) {
    Case c{"p" + std::to_string(bits) + ".jpg",
           {(bits & 1) != 0, (bits & 2) != 0},
           {(bits & 4) != 0, (bits & 8) != 0}};
    const std::string thumbnail = ThumbnailName(c.name);
    if (c.photo.here) Photo(c.name, "photo " + c.name);
    if (c.photo.on_server) WriteFile(OnServer(c.name), "server");
    if (c.thumbnail.here) Photo(thumbnail, "thumbnail " + c.name);
    if (c.thumbnail.on_server) WriteFile(OnServer(thumbnail), "server");
    cases.push_back(c);
  }
  for (bool check : {false, true}) {
    h.ftp.SetImageServerCheck(check);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + (check ? " check on" : " check off"));
      const std::string before_log = h.LogText();
      const int before_stor = server->CountCommand("STOR");
      const int before_updates = h.state.update_counter;
      SyncPhoto(h.context, h.ftp, c.name);
      std::vector<std::string> expected;
      if (check && before_log.find("Lecture") == std::string::npos)
        expected.push_back("Lecture du répertoire FTP Pixtrove");
      int sent = 0;
      for (const auto& [file, side] :
           {std::pair{c.name, c.photo}, std::pair{ThumbnailName(c.name), c.thumbnail}}) {
        if (!check || side.on_server) continue;
        if (!side.here) {
          expected.push_back("Pb Existence : " + file);
          continue;
        }
        expected.push_back("Update " + std::to_string(before_updates + ++sent) + " : " + file);
        // Sent: the server now holds the bytes of the photo folder.
        EXPECT_EQ(ReadFile(OnServer(file)), (file == c.name ? "photo " : "thumbnail ") + c.name);
      }
      EXPECT_THAT(LogLineTexts(h.LogText().substr(before_log.size())),
                  ::testing::ElementsAreArray(expected));
      EXPECT_EQ(h.state.update_counter, before_updates + sent);
      EXPECT_EQ(server->CountCommand("STOR"), before_stor + sent);
      EXPECT_EQ(h.window.Text(WindowField::kLabel1),
                "Image 0 : " + h.state.photo_folder + "\\" + ThumbnailName(c.name));
    }
  }
}

// ---- A dead image server costs one time-out per run ----

// How many memo lines contain the text.
TEST_F(PhotoSyncTest, SilentImageServerIsTriedOnceForTwoHundredPhotoLinks) {
  testing::SilentServer silent;
  const std::string address = "127.0.0.1:" + std::to_string(silent.port());
  h.PointImageServerAt(address, {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  for (int i = 0; i < 200; ++i) {
    Photo("v" + std::to_string(i) + ".jpg");
    Photo("v" + std::to_string(i) + "m.jpg");
  }
  for (int i = 0; i < 200; ++i) SyncPhoto(h.context, h.ftp, "v" + std::to_string(i) + ".jpg");
  // One connection, given up on its time-out; every later check and upload gave up at once.
  EXPECT_EQ(silent.Connections(), 1);
  EXPECT_EQ(h.MemoLinesWith("Résolution du nom"), 1);
  EXPECT_EQ(h.MemoLinesWith("Serveur " + address +
                            " injoignable : plus aucune tentative de connexion jusqu'à la "
                            "fin du programme."),
            1);
  // Every local file counts as missing on the server and as not sent.
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_EQ(h.state.report.photos_not_sent.size(), 400u);
  EXPECT_EQ(h.ftp.IdFTP1().Unreachable(), true);
  // Another server named in the field is tried afresh.
  StartServer();
  EXPECT_FALSE(h.ftp.IdFTP1().Unreachable());
  SyncPhoto(h.context, h.ftp, "v0.jpg");
  EXPECT_EQ(server->CountCommand("STOR"), 2);
  EXPECT_EQ(h.state.update_counter, 2);
}

TEST_F(PhotoSyncTest, UnresolvableImageServerNameIsLookedUpOnce) {
  // A name no resolver accepts (a label longer than 63 characters): it fails at once,
  // without any lookup leaving the machine.
  const std::string host = std::string(70, 'k') + ".invalid";
  h.PointImageServerAt(host, {}, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  Photo("p1.jpg");
  Photo("p1m.jpg");
  for (int i = 0; i < 5; ++i) SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(h.MemoLinesWith("Résolution du nom"), 1);
  EXPECT_EQ(h.MemoLinesWith(" injoignable : plus aucune tentative de connexion"), 1);
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_EQ(h.state.report.photos_not_sent.size(), 10u);
}

// ---- Photo names that lead elsewhere, and files that are no photos ----

class EscapingPhotoNameTest : public PhotoSyncTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(EscapingPhotoNameTest, IsNeitherReadNorSentAndIsReportedAsMissing) {
  StartServer();
  // What the names point at exists: beside the photo folder, and above the image folder.
  WriteFile(h.Windir() + "/outside.jpg", "private");
  WriteFile(h.Windir() + "/outsidem.jpg", "private");
  WriteFile(h.Windir() + "/photos/sub/x.jpg", "inside");
  const std::string name = std::string(GetParam()) + ".jpg";
  SyncPhoto(h.context, h.ftp, name);
  EXPECT_EQ(server->CountCommand("STOR"), 0);
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_THAT(
      LogLineTexts(h.LogText()),
      ::testing::ElementsAre("Pb Existence : " + name, "Pb Existence : " + ThumbnailName(name)));
  // The AutoScout24 staging refuses it the same way: nothing copied.
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 1, name, "9");
  EXPECT_FALSE(PathExists(h.Windir() + "/stage/9_1.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Names, EscapingPhotoNameTest,
                         ::testing::Values("../outside", "..\\outside", "sub/../../outside",
                                           "sub\\..\\..\\outside", "x:../../outside",
                                           "/etc/outside"));

TEST(StaysInsideFolderTest, SubFoldersStayAndClimbingOutDoesNot) {
  for (const char* inside : {"p1.jpg", "2024/p1.jpg", "a/../p1.jpg", "a\\b\\..\\p1.jpg", "./p1.jpg",
                             "..p1.jpg", "p..1.jpg", ""})
    EXPECT_TRUE(StaysInsideFolder(inside)) << inside;
  for (const char* outside : {"..", "../p1.jpg", "a/../../p1.jpg", "\\p1.jpg", "/p1.jpg",
                              "a:..:..:p1.jpg", "p1\r\nDELE x.jpg", "p\x7f"})
    EXPECT_FALSE(StaysInsideFolder(outside)) << outside;
}

TEST_F(PhotoSyncTest, AFifoOrAFolderIsNoPhotoAndNeverHangsTheRun) {
  KALVEX_SKIP_UNLESS_POSIX();
  StartServer();
  testing::MakeFifo(photos + "/p1.jpg");
  std::filesystem::create_directories(photos + "/p1m.jpg");
  SyncPhoto(h.context, h.ftp, "p1.jpg");
  EXPECT_EQ(server->CountCommand("STOR"), 0);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Pb Existence : p1.jpg",
                                     "Pb Existence : p1m.jpg"));
  // An upload asked for directly is refused at once too.
  EXPECT_THROW(h.ftp.IdFTP1().Put(photos + "/p1.jpg", "p1.jpg"), FtpError);
  // And the staging copy does not wait for a writer either.
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 1, "p1.jpg", "4");
  EXPECT_FALSE(PathExists(h.Windir() + "/stage/4_1.jpg"));
}

// ---- AutoScout24 staging ----

class StagePhotoTest : public PhotoSyncTest {
 protected:
  StagePhotoTest() { staging = h.Windir() + "/stage"; }
  std::string staging;  // native
};

TEST_F(StagePhotoTest, CopiesUnderVehicleAndIndexAndCounts) {
  Photo("abc.jpg", "abc bytes");
  Photo("abcm.jpg", "thumb");
  h.ftp.SetImageServerCheck(false);
  h.state.photo_counter = 2;
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 3,
                           "http://img.test/photos/abc.jpg", "42");
  EXPECT_EQ(ReadFile(staging + "/42_3.jpg"), "abc bytes");
  EXPECT_EQ(h.state.photo_counter, 3);
  EXPECT_EQ(h.window.Text(WindowField::kLabel1), "Image 3 : " + h.state.photo_folder + "\\abc.jpg");
  EXPECT_EQ(h.LogText(), "");
  // Only the photo is staged.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(staging),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(StagePhotoTest, MissingPhotoIsReportedEvenWithTheCheckOff) {
  h.ftp.SetImageServerCheck(false);
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 1, "gone.jpg", "7");
  EXPECT_FALSE(PathExists(staging + "/7_1.jpg"));
  EXPECT_TRUE(std::filesystem::is_directory(staging));
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Pb Existence : gone.jpg", "Pb Existence : gonem.jpg"));
}

TEST_F(StagePhotoTest, CountsMissingOnServerWithoutUploading) {
  StartServer();
  Photo("a.JPG", "new");
  Photo("am.jpg", "thumb");
  WriteFile(staging + "/9_1.jpg", "old staged copy");
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 1, "x/a.JPG", "9");
  EXPECT_EQ(ReadFile(staging + "/9_1.jpg"), "new");
  EXPECT_EQ(h.state.update_counter, 2);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove", "Update 1 : a.JPG",
                                     "Update 2 : am.jpg"));
  EXPECT_EQ(h.window.Text(WindowField::kLabel2), "Update 2 : " + h.state.photo_folder + "\\am.jpg");
  EXPECT_EQ(server->CountCommand("STOR"), 0);
}

TEST_F(StagePhotoTest, ThumbnailOnServerStopsQuietly) {
  StartServer();
  Photo("b.jpg");
  Photo("bm.jpg");
  WriteFile(OnServer("b.jpg"), "s");
  WriteFile(OnServer("bm.jpg"), "s");
  StagePhotoForAutoScout24(h.context, h.ftp, h.Windir() + "\\stage", 2, "b.jpg", "5");
  EXPECT_EQ(h.state.update_counter, 0);
  EXPECT_THAT(LogLineTexts(h.LogText()),
              ::testing::ElementsAre("Lecture du répertoire FTP Pixtrove"));
}

}  // namespace
}  // namespace kalvex
