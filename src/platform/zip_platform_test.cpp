#include "platform/zip_platform.h"

#include <gtest/gtest.h>
#include "platform/platform.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex::zip_platform {
namespace {

using kalvex::testing::ReadFile;
using kalvex::testing::ScopedEnv;
using kalvex::testing::TempDir;
using kalvex::testing::WriteFile;

TEST(ZipPlatformTest, VolumesTemporaryFilesAndDiskSets) {
  TempDir dir;
  EXPECT_TRUE(DriveAnswers(dir / "x.zip"));
  EXPECT_TRUE(DriveAnswers(dir / "not/yet/there/x.zip"));
  EXPECT_TRUE(DriveAnswers("relative.zip"));
  // No file of a POSIX system lies on a disk of a multi-disk set.
  WriteFile(dir / "x.zip", "PK");
  EXPECT_FALSE(MultiDiskSetDisk(dir / "x.zip").has_value());

  {
    // POSIX: $TMPDIR; Windows: %TMP%, the first variable GetTempPathW reads.
    ScopedEnv tmp(testing::IsPosixSystem() ? "TMPDIR" : "TMP", (dir.path() + "/").c_str());
    EXPECT_EQ(SystemTempFolder(), dir.path());
  }
  std::string first = CreateTempFile(dir.path(), "zzz");
  std::string second = CreateTempFile(dir.path() + "\\", "zzz");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.substr(0, dir.path().size() + 4),
            dir.path() + (testing::IsPosixSystem() ? "/zzz" : "\\zzz"));
  EXPECT_EQ(ReadFile(first), "");
  EXPECT_EQ(CreateTempFile(dir / "missing", "zzz"), "");
}

TEST(ZipPlatformTest, ListingTellsFilesFoldersAndHiddenNames) {
  TempDir dir;
  WriteFile(dir / "b.txt", "12345");
  WriteFile(dir / ".a", "");
  ASSERT_TRUE(platform::ForceDirectories(dir / "sub"));
  testing::MakeSymbolicLink(dir / "sub", dir / "link");
  std::vector<FolderEntry> entries = ListFolder(dir.path());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, ".a");
  EXPECT_TRUE(entries[0].hidden);
  EXPECT_TRUE(entries[0].regular_file);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_FALSE(entries[1].hidden);
  EXPECT_EQ(entries[1].size, 5);
  EXPECT_EQ(entries[2].name, "link");  // a link to a folder is neither file nor folder
  EXPECT_FALSE(entries[2].regular_file || entries[2].folder);
  EXPECT_EQ(entries[3].name, "sub");
  EXPECT_TRUE(entries[3].folder);
  EXPECT_TRUE(ListFolder(dir / "missing").empty());
  EXPECT_FALSE(LookUp(dir / "missing").has_value());
  EXPECT_EQ(LookUp(dir / "b.txt")->size, 5);
}

}  // namespace
}  // namespace kalvex::zip_platform
