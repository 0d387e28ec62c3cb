#include "xml/xml_utils.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace kalvex {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(WriteAnsiStringToFileTest, WritesExactBytesIntoNewFolders) {
  TempDir dir;
  const std::string name = dir.path() + "\\a\\b\\out.csv";
  const std::string text = "caf\xE9;1\r\n";
  WriteAnsiStringToFile(text, name);
  EXPECT_EQ(ReadFile(dir.path() + "/a/b/out.csv"), text);
  WriteAnsiStringToFile("2", name);
  EXPECT_EQ(ReadFile(dir.path() + "/a/b/out.csv"), "2");
  WriteAnsiStringToFile("", name);
  EXPECT_EQ(ReadFile(dir.path() + "/a/b/out.csv"), "");
}

TEST(WriteAnsiStringToFileTest, FailureIsQuiet) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  // The folder cannot be created: a file stands in its way.
  WriteAnsiStringToFile("data", dir.path() + "/file/sub/out.csv");
  EXPECT_FALSE(PathExists(dir.path() + "/file/sub"));
  EXPECT_EQ(ReadFile(dir / "file"), "x");
}

}  // namespace
}  // namespace kalvex
