#include "zip/file_selection.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using kalvex::testing::TempDir;
using kalvex::testing::WriteFile;

std::vector<std::string> EntryNames(const Selection& selection) {
  std::vector<std::string> names;
  for (const SelectedFile& file : selection.files) names.push_back(file.entry_name);
  return names;
}

// stage/a.txt, stage/B.JPG, stage/README, stage/.hidden, stage/sub/c.txt,
// stage/sub/deep/d.jpg, stage/.secret/e.txt
class FileSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stage_ = dir_ / "stage";
    ASSERT_TRUE(platform::ForceDirectories(stage_ + "/sub/deep"));
    ASSERT_TRUE(platform::ForceDirectories(stage_ + "/.secret"));
    WriteFile(stage_ + "/a.txt", "alpha");
    WriteFile(stage_ + "/B.JPG", "jpeg bytes");
    WriteFile(stage_ + "/README", "no extension");
    WriteFile(stage_ + "/.hidden", "dot file");
    WriteFile(stage_ + "/sub/c.txt", "gamma");
    WriteFile(stage_ + "/sub/deep/d.jpg", "delta");
    WriteFile(stage_ + "/.secret/e.txt", "epsilon");
  }
  TempDir dir_;
  std::string stage_;
};

TEST(MatchesPatternTest, WindowsStylePatterns) {
  EXPECT_TRUE(MatchesPattern("photo.jpg", "*.*"));
  EXPECT_TRUE(MatchesPattern("README", "*.*"));
  EXPECT_TRUE(MatchesPattern("PHOTO.JPG", "*.jpg"));
  EXPECT_TRUE(MatchesPattern("photo_1.jpg", "photo_?.JPG"));
  EXPECT_FALSE(MatchesPattern("photo_10.jpg", "photo_?.jpg"));
  EXPECT_TRUE(MatchesPattern("export", "export.*"));
  EXPECT_FALSE(MatchesPattern("export.xml", "*.csv"));
  EXPECT_TRUE(MatchesPattern("a[1].txt", "a[1].txt"));
  EXPECT_FALSE(MatchesPattern("a1.txt", "a[1].txt"));
  EXPECT_TRUE(MatchesPattern("V\xC3\xA9hicule.xml", "v\xC3\x89HICULE.*"));
  EXPECT_TRUE(MatchesPattern("\xC3\xA9t\xC3\xA9", "?t?"));
  EXPECT_TRUE(MatchesPattern("abcabcx", "*abc*x"));
  EXPECT_FALSE(MatchesPattern("abcab", "*abc*x"));
  EXPECT_TRUE(MatchesPattern("anything", "*"));
  EXPECT_FALSE(MatchesPattern("", "?"));
}

TEST_F(FileSelectionTest, FolderWithStarDotStarTakesThePlainFilesDirectlyInIt) {
  Selection selection = SelectFiles({stage_ + "\\*.*"}, SelectionOptions{});
  EXPECT_EQ(EntryNames(selection), (std::vector<std::string>{"B.JPG", "README", "a.txt"}));
  EXPECT_TRUE(selection.folders.empty());
  ASSERT_EQ(selection.files.size(), 3u);
  EXPECT_EQ(selection.files[0].path, stage_ + "/B.JPG");
  EXPECT_EQ(selection.files[0].size, 10);
  EXPECT_EQ(selection.files[0].mtime, testing::ModificationTime(stage_ + "/B.JPG"));
}

TEST_F(FileSelectionTest, PatternsFoldersAndSingleFiles) {
  EXPECT_EQ(EntryNames(SelectFiles({stage_ + "/*.jpg"}, {})), (std::vector<std::string>{"B.JPG"}));
  // A folder alone stands for its files; a named file is taken even when hidden.
  EXPECT_EQ(EntryNames(SelectFiles({stage_, stage_ + "/.hidden"}, {})),
            (std::vector<std::string>{"B.JPG", "README", "a.txt", ".hidden"}));
  // Missing files and folders match nothing.
  Selection none = SelectFiles({stage_ + "/missing.txt", dir_ / "nowhere/*.*"}, {});
  EXPECT_TRUE(none.files.empty());
  // An empty specification is no folder: neither RootDir's files nor the current ones.
  SelectionOptions rooted;
  rooted.root_dir = stage_;
  EXPECT_TRUE(SelectFiles({""}, rooted).files.empty());
  EXPECT_TRUE(SelectFiles({""}, {}).files.empty());
  EXPECT_EQ(EntryNames(SelectFiles({"", "a.txt"}, rooted)), (std::vector<std::string>{"a.txt"}));
}

TEST_F(FileSelectionTest, HiddenFilesOnlyWhenAsked) {
  SelectionOptions options;
  options.hidden = true;
  EXPECT_EQ(EntryNames(SelectFiles({stage_ + "/*.*"}, options)),
            (std::vector<std::string>{".hidden", "B.JPG", "README", "a.txt"}));
  options.recurse = true;
  std::vector<std::string> names = EntryNames(SelectFiles({stage_ + "/*.txt"}, options));
  EXPECT_NE(std::find(names.begin(), names.end(), dir_.path().substr(1) + "/stage/.secret/e.txt"),
            names.end());
}

TEST_F(FileSelectionTest, RecursionKeepsTheFoldersAsWritten) {
  SelectionOptions options;
  options.recurse = true;
  options.root_dir = dir_.path();
  Selection selection = SelectFiles({"stage\\*.txt"}, options);
  EXPECT_EQ(EntryNames(selection), (std::vector<std::string>{"stage/a.txt", "stage/sub/c.txt"}));
  EXPECT_EQ(selection.files[1].path, dir_.path() + "/stage/sub/c.txt");
  // An absolute specification loses its leading separator.
  Selection absolute = SelectFiles({stage_ + "/*.jpg"}, options);
  std::string base = stage_.substr(1);
  EXPECT_EQ(EntryNames(absolute),
            (std::vector<std::string>{base + "/B.JPG", base + "/sub/deep/d.jpg"}));
}

TEST_F(FileSelectionTest, RootDirMakesNamesRelativeAndFolderEntriesFollow) {
  SelectionOptions options;
  options.relative_to_root = true;
  options.recurse = true;
  options.folder_entries = true;
  options.root_dir = stage_;
  Selection selection = SelectFiles({stage_ + "\\sub\\*.*"}, options);
  EXPECT_EQ(EntryNames(selection), (std::vector<std::string>{"sub/c.txt", "sub/deep/d.jpg"}));
  EXPECT_EQ(selection.folders, (std::vector<std::string>{"sub/", "sub/deep/"}));
  // Without recursion only the files of the named folder, still with their folder.
  options.recurse = false;
  Selection flat = SelectFiles({stage_ + "\\sub\\*.*"}, options);
  EXPECT_EQ(EntryNames(flat), (std::vector<std::string>{"sub/c.txt"}));
  EXPECT_EQ(flat.folders, (std::vector<std::string>{"sub/"}));
}

TEST_F(FileSelectionTest, ASecondFileOfTheSameNameIsLeftOut) {
  WriteFile(stage_ + "/sub/a.txt", "another alpha");
  Selection selection = SelectFiles({stage_ + "/a.txt", stage_ + "/sub/*.txt"}, {});
  EXPECT_EQ(EntryNames(selection), (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(selection.files[0].path, stage_ + "/a.txt");
  EXPECT_EQ(selection.duplicates, 1);
}

TEST_F(FileSelectionTest, OnlyRegularFilesAreTaken) {
  KALVEX_SKIP_UNLESS_POSIX();
  testing::MakeFifo(stage_ + "/pipe.txt");
  testing::MakeSymbolicLink(stage_ + "/a.txt", stage_ + "/link.txt");
  testing::MakeSymbolicLink(stage_, stage_ + "/sub/loop");
  SelectionOptions options;
  options.recurse = true;
  options.root_dir = stage_;
  options.relative_to_root = true;
  Selection selection = SelectFiles({"*.txt"}, options);
  // The pipe is left out, the link to a file is read as that file, the link to a folder
  // is not followed.
  EXPECT_EQ(EntryNames(selection), (std::vector<std::string>{"a.txt", "link.txt", "sub/c.txt"}));
}

}  // namespace
}  // namespace kalvex
