#include "platform/temporary_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex::platform {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TemporaryFileTest, CarriesTheMarkAndIsEitherRenamedIntoPlaceOrRemoved) {
  TempDir dir;
  SetTemporaryFileTag("PARUVENDU");
  EXPECT_EQ(TemporaryFileMarker(), ".kalvex-tmp-PARUVENDU-");
  const std::string target = dir / "FerlaneDatasVO-20261209.xml";
  {
    TemporaryFile file(target, "FerlaneDatasVO-20261209.xml");
    EXPECT_EQ(file.path().substr(0, target.size() + 22), target + ".kalvex-tmp-PARUVENDU-");
    EXPECT_EQ(file.path().size(), target.size() + 22 + 6);
    file.Write("half");
    EXPECT_FALSE(PathExists(target));
  }
  EXPECT_TRUE(Names(dir.path()).empty());  // dropped without Commit: gone
  WriteFile(target, "old");
  TemporaryFile file(target, "x");
  file.Write("new");
  file.Commit();
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"FerlaneDatasVO-20261209.xml"});
  if (testing::IsPosixSystem()) {
    EXPECT_EQ(testing::FileMode(target), testing::NewFileMode());
  }
}

TEST(TemporaryFileTest, StaleFilesOfTheSameTagOnlyAreRemoved) {
  TempDir dir;
  SetTemporaryFileTag("LEBONCOIN");
  for (const char* name :
       {"a.xml.kalvex-tmp-LEBONCOIN-x1y2z3", "b.zip.kalvex-tmp-LEBONCOIN-a.bcdefg",
        "c.xml.kalvex-tmp-INFOPRESS-x1y2z3", "c.xml", "d.xml.XXXXXX"})
    WriteFile(dir / name, "x");
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path()), 2);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{
                                   "c.xml", "c.xml.kalvex-tmp-INFOPRESS-x1y2z3", "d.xml.XXXXXX"}));
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir / "missing"), 0);
}

// A child process stopped by a signal while files are in the making.
int ChildStoppedWhileWriting(const TempDir& dir, testing::StopRequest request) {
  testing::ForkedChild child([&]() -> char {
    InstallSignalCleanup();
    SetTemporaryFileTag("PARUVENDU");
    TemporaryFile file(dir / "export.xml", "export.xml");
    file.Write("a document half written");
    // A library's own temporary name, derived from ours, and a backup elsewhere.
    WriteFile(file.path() + ".Zz91aB", "library");
    WriteFile(dir / "zzzAbCdEf", "backup");
    RemovedOnSignal library(file.path() + ".", 6);
    RemovedOnSignal backup(dir / "zzzAbCdEf");
    testing::SendStopToSelf(request);
    testing::WaitToBeEnded();  // the signal thread ends the process
  });
  return child.Wait();
}

TEST(SignalCleanupTest, AStopSignalRemovesFilesInTheMakingAndExitsWith128PlusItsNumber) {
  KALVEX_SKIP_UNLESS_POSIX();
  using testing::StopRequest;
  for (StopRequest request :
       {StopRequest::kTerminate, StopRequest::kInterrupt, StopRequest::kHangUp}) {
    TempDir dir;
    WriteFile(dir / "export.xml", "the last complete export");
    WriteFile(dir / "unrelated.xml.Zz91aB", "not ours");
    EXPECT_EQ(ChildStoppedWhileWriting(dir, request), testing::ExitCodeOnStop(request));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"export.xml", "unrelated.xml.Zz91aB"}))
        << testing::ExitCodeOnStop(request);
    EXPECT_EQ(ReadFile(dir / "export.xml"), "the last complete export");
  }
}

}  // namespace
}  // namespace kalvex::platform
