#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <memory>

#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/platform_texts.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex::platform {
namespace {

using kalvex::testing::PathExists;
using kalvex::testing::ReadFile;
using kalvex::testing::ScopedEnv;
using kalvex::testing::TempDir;

// A "/"-separated path in the running system's form.
std::string Native(std::string path) {
  if (!testing::IsPosixSystem()) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool IsLink(const std::string& path) { return KindAt(Native(path)) == PathKind::kLink; }

TEST(PlatformTest, WindirIsEmptyWhenUnset) {
  ScopedEnv unset("Windir", nullptr);
  EXPECT_EQ(Windir(), "");
  ScopedEnv set("Windir", "/srv/win");
  EXPECT_EQ(Windir(), "/srv/win");
}

TEST(PlatformTest, NativePathTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(NativePath("\\TEMP\\Kalvex\\a.xml"), Native("/TEMP/Kalvex/a.xml"));
  EXPECT_EQ(NativePath("rel\\dir\\\\file"), Native("rel/dir/file"));
}

TEST(PlatformTest, NativePathFindsFoldersWrittenInAnotherCase) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.path() + "\\TEMP\\Kalvex"));
  // "Temp" and "TEMP" name one folder for the tool (on Windows, for the system too).
  if (testing::IsPosixSystem())
    EXPECT_EQ(NativePath(dir.path() + "\\Temp\\kalvex\\x.xml"), dir.path() + "/TEMP/Kalvex/x.xml");
  // Files are written and found through it.
  AppendToFile(dir.path() + "\\Temp\\kalvex\\x.xml", "ab");
  EXPECT_EQ(ReadFile(dir.path() + "/TEMP/Kalvex/x.xml"), "ab");
  EXPECT_TRUE(RegularFileExists(dir.path() + "\\temp\\KALVEX\\x.xml"));
  EXPECT_FALSE(FileExists(dir.path() + "\\temp\\KALVEX\\y.xml"));
  if (!testing::IsPosixSystem()) return;
  // A missing folder stays as written, so it can be created.
  EXPECT_EQ(NativePath(dir.path() + "\\New\\x"), dir.path() + "/New/x");
  // A folder found before is looked for again once it is renamed, removed or made
  // under the written case.
  std::filesystem::rename(dir.path() + "/TEMP/Kalvex", dir.path() + "/TEMP/KALVEX");
  EXPECT_EQ(NativePath(dir.path() + "\\Temp\\kalvex\\x.xml"), dir.path() + "/TEMP/KALVEX/x.xml");
  std::filesystem::remove_all(dir.path() + "/TEMP");
  EXPECT_EQ(NativePath(dir.path() + "\\Temp\\kalvex\\x.xml"), dir.path() + "/Temp/kalvex/x.xml");
  ASSERT_TRUE(ForceDirectories(dir.path() + "\\Temp\\kalvex"));
  EXPECT_EQ(NativePath(dir.path() + "\\Temp\\kalvex\\x.xml"), dir.path() + "/Temp/kalvex/x.xml");
}

TEST(PlatformTest, ForceDirectoriesCreatesParents) {
  TempDir dir;
  EXPECT_TRUE(ForceDirectories(dir.path() + "\\a\\b\\c"));
  EXPECT_TRUE(DirectoryExists(dir.path() + "/a/b/c"));
  EXPECT_FALSE(FileExists(dir.path() + "/a/b/c"));
  EXPECT_TRUE(ForceDirectories(dir.path() + "/a/b/c"));  // already there
}

TEST(PlatformTest, FileOperations) {
  TempDir dir;
  const std::string f = dir / "f.txt";
  EXPECT_FALSE(FileExists(f));
  CreateEmptyFile(f);
  EXPECT_TRUE(FileExists(f));
  AppendToFile(f, "ab");
  AppendToFile(f, "c");
  EXPECT_EQ(ReadFile(f), "abc");
  CreateEmptyFile(f);
  EXPECT_EQ(ReadFile(f), "");
  EXPECT_TRUE(CopyFileOverwrite(f, dir / "g.txt"));
  EXPECT_TRUE(RemoveFile(f));
  EXPECT_FALSE(PathExists(f));
  EXPECT_FALSE(RemoveFile(f));
}

TEST(PlatformTest, CopyFileOverwriteCopiesEveryByteAndReplacesTheTarget) {
  TempDir dir;
  std::string bytes;
  for (uint32_t i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>((i * 2654435761u) >> 24));
  kalvex::testing::WriteFile(dir / "photo.jpg", bytes);
  kalvex::testing::WriteFile(dir / "copy.jpg", "an older and longer copy of another photo");
  EXPECT_TRUE(CopyFileOverwrite(dir.path() + "\\photo.jpg", dir / "copy.jpg"));
  EXPECT_EQ(ReadFile(dir / "copy.jpg"), bytes);
  EXPECT_TRUE(CopyFileOverwrite(dir / "photo.jpg", dir / "staged.jpg", Flush::kNotNeeded));
  EXPECT_EQ(ReadFile(dir / "staged.jpg"), bytes);
  // No temporary file left beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            3);
  // A missing source, a folder as source, or a missing target folder: nothing copied.
  EXPECT_FALSE(CopyFileOverwrite(dir / "missing.jpg", dir / "copy.jpg"));
  EXPECT_FALSE(CopyFileOverwrite(dir.path(), dir / "copy.jpg"));
  EXPECT_EQ(ReadFile(dir / "copy.jpg"), bytes);
  EXPECT_FALSE(CopyFileOverwrite(dir / "photo.jpg", dir / "nowhere/copy.jpg"));
}

TEST(PlatformTest, ResolvedPathFollowsLinksAndKeepsWhatIsMissing) {
  TempDir dir;
  const std::string real = std::filesystem::canonical(dir.path()).string();
  const std::string root = testing::IsPosixSystem() ? "/" : real.substr(0, 3);  // "C:\\"
  ASSERT_TRUE(ForceDirectories(dir / "TEMP/Kalvex"));
  testing::MakeSymbolicLink(dir / "TEMP", dir / "link");
  EXPECT_EQ(ResolvedPath(dir.path() + "\\link\\Kalvex\\"), real + Native("/TEMP/Kalvex"));
  EXPECT_EQ(ResolvedPath(dir.path() + "\\Temp\\AS24\\new"), real + Native("/TEMP/AS24/new"));
  EXPECT_EQ(ResolvedPath(dir.path() + "\\link\\.."), real);
  EXPECT_EQ(ResolvedPath(dir.path() + "\\Temp"), real + Native("/TEMP"));
  EXPECT_EQ(ResolvedPath(root), root);
  EXPECT_TRUE(IsFileSystemRoot(ResolvedPath(dir.path() + "/../../../../../../../..")));

  EXPECT_TRUE(FolderHolds(real, real));
  EXPECT_TRUE(FolderHolds(real, real + Native("/TEMP")));
  EXPECT_TRUE(FolderHolds(root, real));
  EXPECT_FALSE(FolderHolds(real + Native("/TEMP"), real));
  EXPECT_FALSE(FolderHolds(real + Native("/TE"), real + Native("/TEMP")));
  EXPECT_FALSE(FolderHolds("", real));
}

TEST(PlatformTest, AbsoluteAndNormalPathsAreMadeAsWrittenWithoutFollowingLinks) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir / "TEMP"));
  testing::MakeSymbolicLink(dir / "TEMP", dir / "link");
  // ".." after a link takes out the link, not the folder it points to.
  EXPECT_EQ(AbsolutePath(dir.path() + "/link/../a/./b"), dir.path() + Native("/a/b"));
  EXPECT_EQ(AbsolutePath("x/../y"), std::filesystem::current_path().string() + Native("/y"));
  EXPECT_EQ(NormalPath("a//./b/../c"), "a/c");
  EXPECT_EQ(NormalPath("a/.."), ".");
  EXPECT_EQ(NormalPath("../a/"), "../a/");
}

TEST(PlatformTest, AppendToUnwritableFolderRaisesTheSystemText) {
  TempDir dir;
  try {
    AppendToFile(dir.path() + "/missing/log.txt", "x");
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), ENOENT);
    EXPECT_EQ(std::string(e.what()),
              "Erreur d'entrée/sortie 2 (Aucun fichier ou dossier de ce nom) : " + dir.path() +
                  "/missing/log.txt");
  }
}

TEST(PlatformTest, WriteFileAtomicallyReplacesWholeFile) {
  TempDir dir;
  const std::string f = dir / "out.xml";
  WriteFileAtomically(f, "first version, longer");
  WriteFileAtomically(f, "second");
  EXPECT_EQ(ReadFile(f), "second");
  if (testing::IsPosixSystem()) {
    EXPECT_EQ(testing::FileMode(f), 0644u);
  }
  EXPECT_THROW(WriteFileAtomically(dir.path() + "/nope/out.xml", "x"), IoError);
}

TEST(PlatformTest, ExecutableDirEndsWithSeparator) {
  std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), Native("/")[0]);
  EXPECT_EQ(ExecutablePath().rfind(dir, 0), 0u);
}

std::tm NinthOfDecember2026At140507() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 9;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 7;
  return t;
}

TEST(PlatformTest, FormatDateTimeUsesShortDateAndLongTime) {
  KALVEX_SKIP_UNLESS_POSIX();  // Windows has no C locale: the user's settings always apply
  const std::tm t = NinthOfDecember2026At140507();
  // The C locale's "%x %X".
  EXPECT_EQ(FormatDateTime(t), "12/09/26 14:05:07");
}

TEST(PlatformTest, FormatDateTimeFollowsTheUsersLocale) {
  const std::tm t = NinthOfDecember2026At140507();
  // The tool calls setlocale(LC_ALL, "") at start; a French user's LANG gives this one.
  if (std::setlocale(LC_TIME, "fr_FR.UTF-8") == nullptr)
    GTEST_SKIP() << "locale fr_FR.UTF-8 not generated on this machine (scripts/bootstrap "
                    "generates it when run as root)";
  const std::string shown = FormatDateTime(t);
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(shown, "09/12/2026 14:05:07");
}

TEST(PlatformTest, FindFileSizeSizesAndMissing) {
  TempDir dir;
  EXPECT_EQ(FindFileSize(dir / "missing.zip"), -1);
  kalvex::testing::WriteFile(dir / "empty.xml", "");
  EXPECT_EQ(FindFileSize(dir / "empty.xml"), 0);
  kalvex::testing::WriteFile(dir / "data.xml", std::string(1234, 'x'));
  EXPECT_EQ(FindFileSize(dir.path() + "\\data.xml"), 1234);
  EXPECT_EQ(FindFileSize(dir.path() + "/da*.xml"), 1234);
}

}  // namespace
}  // namespace kalvex::platform

namespace kalvex::platform {
namespace {

TEST(RegularFileTest, AFifoOrAFolderIsRefusedAtOnceNeverWaitedOn) {
  KALVEX_SKIP_UNLESS_POSIX();
  testing::TempDir dir;
  const std::string fifo = dir / "photo.jpg";
  testing::MakeFifo(fifo);
  EXPECT_TRUE(FileExists(fifo));
  EXPECT_FALSE(RegularFileExists(fifo));
  EXPECT_FALSE(RegularFileExists(dir.path()));
  std::string bytes, reason;
  EXPECT_FALSE(ReadRegularFile(fifo, bytes, reason));
  EXPECT_EQ(reason, "Ce n'est pas un fichier ordinaire");
  EXPECT_FALSE(ReadRegularFile(dir.path(), bytes, reason));
  EXPECT_EQ(reason, "C'est un dossier");
  EXPECT_FALSE(CopyFileOverwrite(fifo, dir / "copy.jpg"));
  EXPECT_FALSE(testing::PathExists(dir / "copy.jpg"));
  testing::WriteFile(dir / "real.jpg", "jpeg");
  EXPECT_TRUE(ReadRegularFile(dir / "real.jpg", bytes, reason));
  EXPECT_EQ(bytes, "jpeg");
}

TEST(RegularFileTest, WholeFileWritesReplaceALinkInsteadOfFollowingIt) {
  testing::TempDir dir;
  testing::WriteFile(dir / "target.txt", "keep me");
  testing::MakeSymbolicLink(dir / "target.txt", dir / "out.xml");
  WriteFileAtomically(dir / "out.xml", "<a/>");
  EXPECT_EQ(testing::ReadFile(dir / "target.txt"), "keep me");
  EXPECT_EQ(testing::ReadFile(dir / "out.xml"), "<a/>");
  EXPECT_FALSE(IsLink(dir / "out.xml"));
}

TEST(RenewFolderTest, EmptiesWithoutFollowingLinksAndMakesTheFolderAgain) {
  testing::TempDir dir;
  const std::string stage = dir / "TEMP/AS24";
  std::filesystem::create_directories(stage + "/sub/deeper");
  testing::WriteFile(stage + "/sub/deeper/b.jpg", "b");
  testing::SetFileMode(stage + "/sub/deeper", 0555);  // a folder that does not let go of its files
  std::filesystem::create_directories(dir / "outside");
  testing::WriteFile(dir / "outside/keep.jpg", "keep");
  testing::MakeSymbolicLink(dir / "outside", stage + "/link-to-folder");
  testing::MakeSymbolicLink(dir / "outside/keep.jpg", stage + "/link-to-file");

  // "Temp" finds TEMP; "as24" is made again as written.
  EXPECT_EQ(RenewFolderBelow(dir.path(), "\\Temp\\.\\AS24\\"), dir.path() + Native("/TEMP/AS24"));
  EXPECT_TRUE(std::filesystem::is_empty(stage));
  EXPECT_EQ(testing::ReadFile(dir / "outside/keep.jpg"), "keep");
  // Missing folders on the way are made.
  EXPECT_EQ(RenewFolderBelow(dir.path(), "/new/stage"), dir.path() + Native("/new/stage"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "new/stage"));
  EXPECT_THROW(RenewFolderBelow(dir.path(), "\\TEMP\\..\\x"), Error);
  EXPECT_THROW(RenewFolderBelow(dir.path(), "\\."), Error);
  // A file where the folder should be is left, and said.
  testing::WriteFile(dir / "TEMP/file", "f");
  try {
    RenewFolderBelow(dir.path(), "\\TEMP\\file");
    ADD_FAILURE() << "a file renewed";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), ENOTDIR);
  }
  EXPECT_EQ(testing::ReadFile(dir / "TEMP/file"), "f");
}

TEST(RenewFolderTest, ALinkAnywhereOnThePathIsRefusedBeforeAnythingGoes) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir / "outside/sub");
  testing::WriteFile(dir / "outside/a.jpg", "a");
  testing::WriteFile(dir / "outside/sub/b.jpg", "b");
  std::filesystem::create_directories(dir / "Temp");
  testing::MakeSymbolicLink(dir / "outside", dir / "Temp/lnk");
  for (const char* spelled : {"\\Temp\\lnk", "\\Temp\\lnk\\", "\\Temp\\lnk/", "\\Temp\\lnk\\.",
                              "\\Temp\\lnk\\sub", "\\temp\\LNK\\sub\\AS24"}) {
    try {
      RenewFolderBelow(dir.path(), spelled);
      ADD_FAILURE() << spelled << ": no error";
    } catch (const LinkInPath& e) {
      EXPECT_EQ(std::string(e.what()), "le chemin passe par le lien symbolique " +
                                           Native(dir / "Temp/lnk") + " (vers " +
                                           Native(dir / "outside") + "), qui n'est jamais suivi")
          << spelled;
    }
    EXPECT_EQ(testing::ReadFile(dir / "outside/a.jpg"), "a") << spelled;
    EXPECT_EQ(testing::ReadFile(dir / "outside/sub/b.jpg"), "b") << spelled;
    EXPECT_TRUE(IsLink(dir / "Temp/lnk")) << spelled;
  }
  EXPECT_FALSE(testing::PathExists(dir / "outside/sub/AS24"));
}

TEST(FileLockTest, OneHolderAtATimeAcrossProcesses) {
  KALVEX_SKIP_UNLESS_POSIX();
  testing::TempDir dir;
  testing::ScopedEnv windir("Windir", dir.path().c_str());
  const std::string path = dir.path() + "\\portal.lock";
  testing::ForkedChild holder([&path] {
    static std::unique_ptr<FileLock> held;  // held until the child is killed
    held = FileLock::TryAcquire(path);
    return held ? 'y' : 'n';
  });
  EXPECT_EQ(holder.Report(), 'y');
  EXPECT_EQ(FileLock::TryAcquire(path), nullptr);
  holder.Kill();
  // The lock went with its process, however it ended.
  EXPECT_NE(FileLock::TryAcquire(path), nullptr);
  // A link in place of the lock file is not followed.
  testing::MakeSymbolicLink(dir / "elsewhere", dir / "linked.lock");
  EXPECT_THROW(FileLock::TryAcquire(dir / "linked.lock"), IoError);
  EXPECT_FALSE(testing::PathExists(dir / "elsewhere"));
}

TEST(CheckWindirTest, UnsetOrEmptyIsAnError) {
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    testing::ScopedEnv windir("Windir", value);
    EXPECT_THROW(CheckWindir(), Error);
  }
  testing::ScopedEnv windir("Windir", "/srv/windows");
  EXPECT_NO_THROW(CheckWindir());
}

TEST(CheckWindirTest, BackslashIsRefusedNamingTheValue) {
  testing::ScopedEnv windir("Windir", "/srv/a\\b");
  if (!testing::IsPosixSystem()) {
    EXPECT_NO_THROW(CheckWindir());  // "\\" is the system's own separator there
    return;
  }
  try {
    CheckWindir();
    FAIL() << "a Windir with \\ was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), platform_text::WindirBackslash("/srv/a\\b"));
    EXPECT_NE(std::string(e.what()).find(": /srv/a\\b ;"), std::string::npos);
  }
}

}  // namespace
}  // namespace kalvex::platform
