#include "zip/zip_builder.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using kalvex::testing::CommandOutput;
using kalvex::testing::PathExists;
using kalvex::testing::ReadFile;
using kalvex::testing::ScopedEnv;
using kalvex::testing::ShellQuoted;
using kalvex::testing::TempDir;
using kalvex::testing::WriteFile;

// ---- an independent reader: Info-ZIP's unzip and zipinfo ----

struct CommandResult {
  int status = -1;
  std::string output;
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  result.output = CommandOutput(command + " 2>&1", &result.status);
  return result;
}

// `unzip -t`: every entry's data checks out.
void ExpectArchiveTestsOk(const std::string& archive) {
  CommandResult r = RunCommand("unzip -t " + ShellQuoted(archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("No errors detected"), std::string::npos) << r.output;
}

// The bytes of one entry as unzip extracts them.
std::string Extract(const std::string& archive, const std::string& entry,
                    const std::string& password = "") {
  std::string options = password.empty() ? "" : "-P " + ShellQuoted(password) + " ";
  return CommandOutput("unzip -p " + options + ShellQuoted(archive) + " " + ShellQuoted(entry));
}

struct ListedEntry {
  std::string name;
  int64_t size = -1;
  int64_t compressed = -1;
  std::string method;  // "defX", "defN", "stor", ...
};

// `zipinfo -l`: permissions, version, system, size, type, compressed size, method,
// date, time, name.
std::vector<ListedEntry> Zipinfo(const std::string& archive) {
  std::vector<ListedEntry> entries;
  CommandResult r = RunCommand("zipinfo -l " + ShellQuoted(archive));
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || (line[0] != '-' && line[0] != 'd')) continue;
    std::istringstream fields(line);
    std::string perms, version, system, type, date, time;
    ListedEntry e;
    if (!(fields >> perms >> version >> system >> e.size >> type >> e.compressed >> e.method >>
          date >> time))
      continue;
    std::getline(fields, e.name);
    e.name.erase(0, e.name.find_first_not_of(' '));
    entries.push_back(e);
  }
  return entries;
}

std::vector<std::string> ListedNames(const std::string& archive) {
  std::vector<std::string> names;
  for (const ListedEntry& e : Zipinfo(archive)) names.push_back(e.name);
  return names;
}

std::vector<std::string> ContentNames(const TZip& zip) {
  std::vector<std::string> names;
  for (const TFileInfo& info : zip.Contents()) names.push_back(info.file_name);
  return names;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
  return bytes;
}

const std::string kEmptyArchive = std::string("PK\x05\x06", 4) + std::string(18, '\0');

// ---- a front end that records what the component shows ----

class RecordingFrontEnd : public FrontEnd {
 public:
  class Dialog : public ProgressDialog {
   public:
    explicit Dialog(RecordingFrontEnd& owner) : owner_(owner) {}
    ~Dialog() override { owner_.dialog_log.push_back("close"); }
    void SetText(const std::string& text) override {
      owner_.dialog_log.push_back("text " + text);
      if (!owner_.cancel_on_text.empty() && text == owner_.cancel_on_text) owner_.cancel = true;
    }
    void SetPosition(int position) override { owner_.last_position = position; }
    bool CancelRequested() override { return owner_.cancel; }

   private:
    RecordingFrontEnd& owner_;
  };

  void ProcessPendingEvents() override { ++pending_event_calls; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override {
    dialog_log.push_back("open " + caption);
    return std::make_unique<Dialog>(*this);
  }

  std::vector<std::string> messages;
  std::vector<std::string> dialog_log;
  std::string cancel_on_text;  // the Cancel button is pressed once this text shows
  bool cancel = false;
  int last_position = -1;
  int pending_event_calls = 0;
};

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stage_ = dir_ / "stage";
    ASSERT_TRUE(platform::ForceDirectories(stage_ + "/sub"));
    files_ = {{"123.csv", "id;make;model\r\n1;RENAULT;Clio\r\n"},
              {"123_1.jpg", RandomBytes(70000, 1)},
              {"123_2.jpg", std::string(50000, 'A') + RandomBytes(3000, 2)},
              {"README", "no extension"}};
    for (const auto& [name, bytes] : files_) WriteFile(stage_ + "/" + name, bytes);
    WriteFile(stage_ + "/.hidden", "not for the portal");
    WriteFile(stage_ + "/sub/inner.jpg", "below the staging folder");
    archive_ = dir_ / "123.zip";
  }

  TempDir dir_;
  std::string stage_;
  std::string archive_;
  std::vector<std::pair<std::string, std::string>> files_;
  RecordingFrontEnd ui_;
};

TEST_F(ZipTest, StartsWithTheDocumentedDefaults) {
  ScopedEnv tmp("TMPDIR", dir_.path().c_str());
  TZip zip(ui_);
  EXPECT_EQ(zip.ZipFileName(), "");
  EXPECT_EQ(zip.Password(), "");
  EXPECT_EQ(zip.DllDir(), "");
  EXPECT_EQ(zip.TempDir(), dir_.path());
  EXPECT_TRUE(zip.FilesToAdd().empty());
  EXPECT_EQ(zip.RootDir(), "");
  EXPECT_EQ(zip.AddOptions(), 2);
  EXPECT_EQ(zip.ExtractOptions(), 1u);
  EXPECT_TRUE(zip.ShowProgressDialog());
  EXPECT_FALSE(zip.Trace());
  EXPECT_FALSE(zip.Cancelled());
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_EQ(zip.EndOfDirectory().position, -1);
  EXPECT_FALSE(zip.OemFlag());
  EXPECT_FALSE(zip.OnZEDBeginFileEvent || zip.OnZEDProgressEvent || zip.OnZEDEndBatchEvent ||
               zip.OnMergeProgress || zip.OnSpanProgress || zip.OnContentsChanged);
  ScopedEnv no_tmp("TMPDIR", nullptr);
  EXPECT_EQ(TZip(ui_).TempDir(), "/tmp");
}

TEST_F(ZipTest, ANewNameOnAMissingPathCreatesTheEmptyArchive) {
  TZip zip(ui_);
  int changes = 0;
  zip.OnContentsChanged = [&](TZip& sender) {
    EXPECT_EQ(&sender, &zip);
    ++changes;
  };
  zip.SetPassword("secret");
  zip.SetZipFileName(archive_);
  EXPECT_EQ(ReadFile(archive_), kEmptyArchive);
  EXPECT_EQ(zip.ZipFileName(), archive_);
  EXPECT_TRUE(zip.Contents().empty());
  EXPECT_EQ(zip.EndOfDirectory().position, 0);
  EXPECT_EQ(zip.Password(), "");
  EXPECT_EQ(changes, 1);
  // Info-ZIP agrees that it is an archive without entries.
  EXPECT_NE(RunCommand("zipinfo " + ShellQuoted(archive_)).output.find("Empty zipfile."),
            std::string::npos);
  // An empty name closes the component.
  zip.SetZipFileName("");
  EXPECT_EQ(zip.ZipFileName(), "");
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ZipTest, TheTextsOfFailedOpenings) {
  TZip zip(ui_);
  WriteFile(dir_ / "list.zip", "1;RENAULT;Clio;12000\r\n2;PEUGEOT;208;9500\r\n");
  try {
    zip.SetZipFileName(dir_ / "list.zip");
    FAIL() << "no error";
  } catch (const ZipException& e) {
    EXPECT_EQ(std::string(e.what()), "\"" + (dir_ / "list.zip") + "\"\nis not a valid Zip file.");
  }
  // A path written the tool's way is named as written.
  std::string written = dir_.path() + "\\list.zip";
  try {
    zip.SetZipFileName(written);
    FAIL() << "no error";
  } catch (const ZipException& e) {
    EXPECT_EQ(std::string(e.what()), "\"" + written + "\"\nis not a valid Zip file.");
  }
  std::string unreachable = dir_ / "no/such/folder/x.zip";
  try {
    zip.SetZipFileName(unreachable);
    FAIL() << "no error";
  } catch (const ZipException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to create \n\"" + unreachable + "\"");
  }
  EXPECT_FALSE(PathExists(unreachable));
}

TEST_F(ZipTest, AddPreconditionsAreShownAndChangeNothing) {
  TZip zip(ui_);
  zip.FilesToAdd().push_back(stage_ + "/*.*");
  zip.SetRootDir(stage_);
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(zip.RootDir(), "");
  EXPECT_EQ(zip.FilesToAdd().size(), 1u);
  zip.FilesToAdd().clear();
  zip.SetZipFileName(archive_);
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(
      ui_.messages,
      (std::vector<std::string>{
          "A Zip file must be openned or created before\nAdding, Deleting or Extracting files.",
          "No files have been selected."}));
  EXPECT_EQ(ReadFile(archive_), kEmptyArchive);
  EXPECT_TRUE(ui_.dialog_log.empty());

  // Specifications that match nothing: the run ends with an empty batch.
  std::vector<std::string> ends;
  zip.OnZEDEndBatchEvent = [&](TZip&, int32_t skipped, int32_t count, int32_t total) {
    ends.push_back(std::to_string(skipped) + " " + std::to_string(count) + " " +
                   std::to_string(total));
  };
  zip.FilesToAdd().push_back(stage_ + "/missing.csv");
  zip.FilesToAdd().push_back(stage_ + "/*.pdf");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(ends, (std::vector<std::string>{"0 0 0"}));
  EXPECT_TRUE(zip.FilesToAdd().empty());
  EXPECT_EQ(ReadFile(archive_), kEmptyArchive);
  EXPECT_EQ(ui_.messages.size(), 2u);
  EXPECT_TRUE(ui_.dialog_log.empty());
}

TEST_F(ZipTest, AFolderWithStarDotStarStoresItsPlainFilesUnderTheirBareNames) {
  TZip zip(ui_);
  int changes = 0;
  zip.OnContentsChanged = [&](TZip&) { ++changes; };
  std::remove(archive_.c_str());
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "\\*.*");
  EXPECT_EQ(zip.Add(), 4);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(zip.FilesToAdd().empty());
  // libzip writes a file of its own: it gets the mode of every output all the same.
  if (testing::IsPosixSystem()) {
    EXPECT_EQ(testing::FileMode(archive_), testing::NewFileMode());
  }

  ExpectArchiveTestsOk(archive_);
  std::vector<ListedEntry> listed = Zipinfo(archive_);
  ASSERT_EQ(listed.size(), 4u);
  std::vector<std::string> expected_names;
  for (const auto& [name, bytes] : files_) {
    expected_names.push_back(name);
    EXPECT_EQ(Extract(archive_, name), bytes) << name;
    // The sources stay where they are.
    EXPECT_EQ(ReadFile(stage_ + "/" + name), bytes);
  }
  EXPECT_EQ(ListedNames(archive_), expected_names);
  for (const ListedEntry& e : listed) {
    EXPECT_EQ(e.method.substr(0, 3), "def") << e.name;  // Deflate
  }
  // The strongest level: the repetitive photo shrinks far below its size.
  EXPECT_LT(listed[2].compressed, 4000);
}

TEST_F(ZipTest, AnArchiveInTheFolderBeingAddedLeavesItselfOut) {
  TZip zip(ui_);
  const std::string inside = stage_ + "/123.zip";
  zip.SetZipFileName(inside);
  zip.FilesToAdd().push_back(stage_ + "\\*.*");
  EXPECT_EQ(zip.Add(), 4);
  ExpectArchiveTestsOk(inside);
  std::vector<std::string> expected_names;
  for (const auto& [name, bytes] : files_) expected_names.push_back(name);
  EXPECT_EQ(ListedNames(inside), expected_names);
  EXPECT_EQ(ContentNames(zip), expected_names);
  // Named on its own, it is not added either: nothing to do.
  zip.FilesToAdd().push_back(inside);
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(ListedNames(inside), expected_names);
}

TEST_F(ZipTest, TheContentsListMatchesWhatZipinfoReports) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/*.jpg");
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  ASSERT_EQ(zip.Add(), 3);
  std::vector<ListedEntry> listed = Zipinfo(archive_);
  ASSERT_EQ(listed.size(), zip.Contents().size());
  for (size_t i = 0; i < listed.size(); ++i) {
    const TFileInfo& info = zip.Contents()[i];
    EXPECT_EQ(info.file_name, listed[i].name);
    EXPECT_EQ(info.UncompressedSize(), listed[i].size);
    EXPECT_EQ(info.CompressedSize(), listed[i].compressed);
    EXPECT_EQ(info.CompressionMethod(), 8);
    EXPECT_EQ(info.encrypted, 0);
  }
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"123_1.jpg", "123_2.jpg", "123.csv"}));
  EXPECT_EQ(zip.EndOfDirectory().EntryCount(), 3);
  EXPECT_EQ(zip.EndOfDirectory().position, static_cast<int64_t>(ReadFile(archive_).size()) - 22);
  // Opening the archive again reads the same list.
  TZip again(ui_);
  again.SetZipFileName(archive_);
  EXPECT_EQ(ContentNames(again), ContentNames(zip));
}

TEST_F(ZipTest, ASecondAddFindsNoFilesSelected) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  ASSERT_EQ(zip.Add(), 1);
  std::string after_first = ReadFile(archive_);
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(ui_.messages, (std::vector<std::string>{"No files have been selected."}));
  EXPECT_EQ(ReadFile(archive_), after_first);
}

TEST_F(ZipTest, EventsAndProgressWindowFollowTheBatch) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  std::vector<std::string> events;
  int64_t bytes = 0;
  zip.OnZEDBeginFileEvent = [&](TZip& sender, const std::string& name, int32_t size, int32_t count,
                                int32_t total) {
    EXPECT_EQ(&sender, &zip);
    events.push_back("begin " + name + " " + std::to_string(size) + " " + std::to_string(count) +
                     " " + std::to_string(total));
  };
  std::set<int32_t> totals;
  zip.OnZEDProgressEvent = [&](TZip&, const std::string& name, int32_t done, int32_t total) {
    totals.insert(total);
    EXPECT_GT(done, 0);
    bytes += done;
    if (events.back() != "progress " + name) events.push_back("progress " + name);
  };
  zip.OnZEDEndBatchEvent = [&](TZip&, int32_t skipped, int32_t count, int32_t total) {
    events.push_back("end " + std::to_string(skipped) + " " + std::to_string(count) + " " +
                     std::to_string(total));
  };
  zip.OnMergeProgress = [&](TZip&, const std::string&, int32_t, int32_t) {
    events.push_back("merge");
  };
  zip.OnSpanProgress = [&](TZip&, const std::string&, int32_t, int32_t) {
    events.push_back("span");
  };
  WriteFile(stage_ + "/123_1.jpg", RandomBytes(73000, 3));
  zip.FilesToAdd().push_back(stage_ + "/123_?.jpg");
  ASSERT_EQ(zip.Add(), 2);
  const std::string one = stage_ + "/123_1.jpg";
  const std::string two = stage_ + "/123_2.jpg";
  EXPECT_EQ(events, (std::vector<std::string>{"begin " + one + " 73000 2 126000", "progress " + one,
                                              "begin " + two + " 53000 2 126000", "progress " + two,
                                              "end 0 2 126000"}));
  EXPECT_EQ(bytes, 126000);
  EXPECT_EQ(totals, (std::set<int32_t>{126000}));
  EXPECT_EQ(ui_.dialog_log, (std::vector<std::string>{"open Kalvex", "text wait ...", "text " + one,
                                                      "text " + two, "close"}));
  EXPECT_EQ(ui_.last_position, 65535);
  EXPECT_GT(ui_.pending_event_calls, 2);

  // Without the progress window nothing is opened.
  ui_.dialog_log.clear();
  zip.SetShowProgressDialog(false);
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 1);
  EXPECT_TRUE(ui_.dialog_log.empty());
}

TEST_F(ZipTest, CancelFromTheBeginFileEventLeavesTheArchiveAsItWas) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  ASSERT_EQ(zip.Add(), 1);
  const std::string before = ReadFile(archive_);
  int changes = 0;
  int progress = 0;
  int ends = 0;
  zip.OnContentsChanged = [&](TZip&) { ++changes; };
  zip.OnZEDBeginFileEvent = [&](TZip& sender, const std::string&, int32_t, int32_t, int32_t) {
    sender.SetCancelled(true);
  };
  zip.OnZEDProgressEvent = [&](TZip&, const std::string&, int32_t, int32_t) { ++progress; };
  zip.OnZEDEndBatchEvent = [&](TZip&, int32_t, int32_t, int32_t) { ++ends; };
  zip.SetRootDir(stage_);
  zip.FilesToAdd().push_back(stage_ + "/*.jpg");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_TRUE(zip.Cancelled());
  EXPECT_EQ(ReadFile(archive_), before);
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"123.csv"}));
  EXPECT_EQ(progress, 0);
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(zip.FilesToAdd().empty());
  EXPECT_EQ(zip.RootDir(), "");
  ExpectArchiveTestsOk(archive_);
  // No temporary file is left beside the archive.
  EXPECT_EQ(RunCommand("ls -A " + ShellQuoted(dir_.path())).output, "123.zip\nstage\n");

  // The next run starts afresh.
  zip.OnZEDBeginFileEvent = nullptr;
  zip.FilesToAdd().push_back(stage_ + "/*.jpg");
  EXPECT_EQ(zip.Add(), 2);
  EXPECT_FALSE(zip.Cancelled());
}

TEST_F(ZipTest, TheCancelButtonStopsTheRun) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  ui_.cancel_on_text = stage_ + "/123_2.jpg";  // pressed while the second file is written
  zip.FilesToAdd().push_back(stage_ + "/*.*");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_TRUE(zip.Cancelled());
  EXPECT_EQ(ReadFile(archive_), kEmptyArchive);
  EXPECT_TRUE(zip.Contents().empty());
  EXPECT_EQ(ui_.dialog_log.back(), "close");
}

TEST_F(ZipTest, ACancelAfterTheArchiveWasWrittenPutsTheBackupBack) {
  TZip zip(ui_);
  zip.SetTempDir(dir_ / "backups");
  ASSERT_TRUE(platform::ForceDirectories(zip.TempDir()));
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 1);
  const std::string before = ReadFile(archive_);
  std::vector<std::string> seen;
  zip.OnZEDEndBatchEvent = [&](TZip& sender, int32_t, int32_t, int32_t) {
    // The backup copy lies in TempDir while the run lasts.
    seen.push_back(RunCommand("ls " + ShellQuoted(zip.TempDir())).output.substr(0, 3));
    sender.SetCancelled(true);
  };
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"zzz"}));
  EXPECT_EQ(ReadFile(archive_), before);
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"README"}));
  EXPECT_EQ(RunCommand("ls -A " + ShellQuoted(zip.TempDir())).output, "");

  // An archive that was gone before Add is gone again.
  std::remove(archive_.c_str());
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_FALSE(PathExists(archive_));
  EXPECT_TRUE(zip.Contents().empty());
}

TEST_F(ZipTest, UpdateReplacesOnlyNewerFiles) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  int32_t skipped = -1;
  zip.OnZEDEndBatchEvent = [&](TZip&, int32_t s, int32_t, int32_t) { skipped = s; };
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  ASSERT_EQ(zip.Add(), 1);
  const std::string before = ReadFile(archive_);
  // Same file again: not newer, skipped; the archive is not rewritten.
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(ReadFile(archive_), before);
  // A newer file replaces the entry, whatever the letter case of its name.
  ASSERT_EQ(std::rename((stage_ + "/123.csv").c_str(), (stage_ + "/123.CSV").c_str()), 0);
  WriteFile(stage_ + "/123.CSV", "id;make\r\n2;PEUGEOT\r\n");
  testing::SetModificationTime(stage_ + "/123.CSV", std::time(nullptr) + 10);
  zip.FilesToAdd().push_back(stage_ + "/123.CSV");
  EXPECT_EQ(zip.Add(), 1);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"123.csv"}));
  EXPECT_EQ(Extract(archive_, "123.csv"), "id;make\r\n2;PEUGEOT\r\n");
  ExpectArchiveTestsOk(archive_);
}

TEST_F(ZipTest, FreshenAndForce) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 1);
  // Freshen adds nothing new and keeps entries that are not older.
  zip.SetAddOptions(TZip::kAddFreshen);
  zip.FilesToAdd().push_back(stage_ + "/*.*");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"README"}));
  // Force replaces whatever the dates.
  WriteFile(stage_ + "/README", "rewritten");
  testing::SetModificationTime(stage_ + "/README", 1000000000);
  zip.SetAddOptions(TZip::kAddFreshen | TZip::kAddForce);
  zip.FilesToAdd().push_back(stage_ + "/*.*");
  EXPECT_EQ(zip.Add(), 1);
  EXPECT_EQ(ContentNames(zip), (std::vector<std::string>{"README"}));
  EXPECT_EQ(Extract(archive_, "README"), "rewritten");
  // No option: everything goes in.
  zip.SetAddOptions(0);
  zip.FilesToAdd().push_back(stage_ + "/*.*");
  EXPECT_EQ(zip.Add(), 4);
  EXPECT_EQ(zip.Count(), 4);
}

TEST_F(ZipTest, FolderOptionsKeepNamesBelowTheRootAndStoreFolders) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  WriteFile(stage_ + "/sub/.dot.jpg", "hidden photo");
  zip.SetAddOptions(TZip::kAddUpdate | TZip::kAddRecurse | TZip::kAddRootDir |
                    TZip::kAddFolderEntries);
  zip.SetRootDir(dir_.path());
  zip.FilesToAdd().push_back("stage\\*.jpg");
  EXPECT_EQ(zip.Add(), 5);
  EXPECT_EQ(zip.RootDir(), "");
  EXPECT_EQ(ListedNames(archive_),
            (std::vector<std::string>{"stage/", "stage/sub/", "stage/123_1.jpg", "stage/123_2.jpg",
                                      "stage/sub/inner.jpg"}));
  EXPECT_EQ(ContentNames(zip).back(), "stage\\sub\\inner.jpg");
  EXPECT_EQ(Extract(archive_, "stage/sub/inner.jpg"), "below the staging folder");
  ExpectArchiveTestsOk(archive_);
  // Hidden files only when asked.
  zip.SetAddOptions(TZip::kAddRecurse | TZip::kAddHiddenFiles);
  zip.SetRootDir(dir_.path());
  zip.FilesToAdd().push_back("stage\\sub\\*.jpg");
  EXPECT_EQ(zip.Add(), 2);
  EXPECT_EQ(Extract(archive_, "stage/sub/.dot.jpg"), "hidden photo");
}

TEST_F(ZipTest, APasswordEncryptsTheAddedFiles) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.SetPassword("s3cret");
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  ASSERT_EQ(zip.Add(), 1);
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Contents()[0].encrypted, 1);
  EXPECT_EQ(Extract(archive_, "123.csv", "s3cret"), files_[0].second);
  EXPECT_EQ(RunCommand("unzip -t -P s3cret " + ShellQuoted(archive_)).status, 0);
  EXPECT_NE(RunCommand("unzip -t -P wrong " + ShellQuoted(archive_)).status, 0);
}

TEST_F(ZipTest, TheTraceFileTellsWhatTheRunDid) {
  const std::string trace = [] {
    std::string exe = platform::ExecutablePath();
    return exe + ".trace";  // the test executable has no extension
  }();
  std::remove(trace.c_str());
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.SetTrace(true);
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 2);
  EXPECT_EQ(ReadFile(trace),
            "  ajout : 123.csv\r\n  ajout : README\r\n2 entrées écrites dans " + archive_ + "\r\n");
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 0);
  EXPECT_EQ(ReadFile(trace), "  ignoré : README (pas plus récent)\r\nRien à faire.\r\n");
  // Without Trace the file is left alone.
  zip.SetTrace(false);
  zip.FilesToAdd().push_back(stage_ + "/123_1.jpg");
  ASSERT_EQ(zip.Add(), 1);
  EXPECT_EQ(ReadFile(trace), "  ignoré : README (pas plus récent)\r\nRien à faire.\r\n");
  std::remove(trace.c_str());
}

TEST_F(ZipTest, LibraryFailuresRaiseAndLeaveTheArchiveAlone) {
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/README");
  ASSERT_EQ(zip.Add(), 1);
  const std::string before = ReadFile(archive_);
  // A file that disappears before it is read.
  zip.OnZEDBeginFileEvent = [&](TZip&, const std::string&, int32_t, int32_t, int32_t) {
    std::remove((stage_ + "/123_2.jpg").c_str());
  };
  zip.FilesToAdd().push_back(stage_ + "/*.jpg");
  try {
    zip.Add();
    FAIL() << "no error";
  } catch (const ZipException& e) {
    // libzip's reason in French, with the system's.
    EXPECT_EQ(std::string(e.what()), "Impossible d'écrire l'archive \n\"" + archive_ +
                                         "\"\r\nle fichier ne peut être ouvert : Aucun fichier "
                                         "ou dossier de ce nom");
  }
  EXPECT_EQ(ReadFile(archive_), before);
  EXPECT_TRUE(zip.FilesToAdd().empty());

  // An error raised by an event handler ends the run the same way.
  zip.OnZEDBeginFileEvent = [&](TZip&, const std::string&, int32_t, int32_t, int32_t) {
    throw Error("handler failed");
  };
  zip.FilesToAdd().push_back(stage_ + "/123.csv");
  try {
    zip.Add();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "handler failed");
  }
  EXPECT_EQ(ReadFile(archive_), before);
}

TEST_F(ZipTest, AnArchiveOnADiskOfASetIsNotAddedTo) {
  // The end record says disk 1 of a set, with the directory on that disk.
  std::string bytes = kEmptyArchive;
  bytes[4] = 1;
  bytes[6] = 1;
  WriteFile(archive_, bytes);
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  EXPECT_EQ(zip.EndOfDirectory().ThisDisk(), 1);
  zip.FilesToAdd().push_back(stage_ + "/README");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(ui_.messages,
            (std::vector<std::string>{"Cannot Add, Delete or Extract from a multiple disk Zip "
                                      "file...\nMerge this Zip file onto the hard disk before "
                                      "retrying."}));
  EXPECT_EQ(ReadFile(archive_), bytes);
}

TEST_F(ZipTest, NamesBeyondAsciiAreStoredAsUtf8) {
  const std::string name = "V\xC3\xA9hicules_\xE2\x82\xAC.xml";
  WriteFile(stage_ + "/" + name, "<annonces/>");
  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "/v*.XML");
  ASSERT_EQ(zip.Add(), 1);
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Contents()[0].file_name, name);
  EXPECT_EQ(zip.Contents()[0].Flags() & 0x0800, 0x0800);  // marked UTF-8 for every reader
  EXPECT_EQ(Extract(archive_, name), "<annonces/>");
}

TEST_F(ZipTest, AnArchiveOfMoreEntriesThanAClassicOneCountsIsReadAndAddedTo) {
  // 70,000 staged photos, more than the 65,535 entries a classic end record counts, so
  // the archive ends with ZIP64 records. The photos are hard links to ten small files,
  // cheap to make and remove; Info-ZIP packs them (deflating 70,000 entries in this
  // process would take minutes under the sanitizers), then the component reads the
  // archive, adds the vehicle file, and reads back what libzip wrote.
  constexpr int kFiles = 70000;
  const std::string many = dir_ / "many";
  ASSERT_TRUE(platform::ForceDirectories(many));
  for (int p = 1; p <= 10; ++p)
    WriteFile(dir_ / ("photo" + std::to_string(p)), "photo " + std::to_string(p));
  std::set<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = std::to_string(i / 10) + "_" + std::to_string(i % 10 + 1) + ".jpg";
    testing::MakeHardLink(dir_ / ("photo" + std::to_string(i % 10 + 1)), many + "/" + name);
    names.insert(name);
  }
  const CommandResult zipped =
      RunCommand("cd " + ShellQuoted(many) + " && zip -q -D -r " + ShellQuoted(archive_) + " .");
  ASSERT_EQ(zipped.status, 0) << zipped.output;

  TZip zip(ui_);
  zip.SetZipFileName(archive_);
  ASSERT_EQ(zip.Count(), kFiles);
  ASSERT_TRUE(zip.EndOfDirectory().zip64());
  EXPECT_EQ(zip.EndOfDirectory().EntryCount(), 0xFFFF);
  EXPECT_EQ(zip.EndOfDirectory().TotalEntries(), static_cast<uint64_t>(kFiles));
  const std::vector<std::string> listed = ContentNames(zip);
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), names);

  WriteFile(dir_ / "4455667788.csv", "1;2;\r\n");
  zip.FilesToAdd().push_back(dir_ / "4455667788.csv");
  EXPECT_EQ(zip.Add(), 1);
  ASSERT_EQ(zip.Count(), kFiles + 1);
  EXPECT_TRUE(zip.EndOfDirectory().zip64());
  EXPECT_EQ(zip.Contents().back().file_name, "4455667788.csv");
  EXPECT_EQ(zip.Contents().front().file_name, listed.front());
  ExpectArchiveTestsOk(archive_);
  EXPECT_EQ(Extract(archive_, "4455667788.csv"), "1;2;\r\n");
  EXPECT_EQ(Extract(archive_, "6999_10.jpg"), "photo 10");

  // Opened again, the archive libzip wrote lists every entry.
  TZip again(ui_);
  again.SetZipFileName(archive_);
  EXPECT_EQ(again.Count(), kFiles + 1);
}

TEST_F(ZipTest, TheExportersWay) {
  // Delete, set the name, add the staging folder, add; then a single export file.
  TZip zip(ui_);
  WriteFile(archive_, "an old archive from yesterday");
  std::remove(archive_.c_str());
  zip.SetZipFileName(archive_);
  zip.FilesToAdd().push_back(stage_ + "\\*.*");
  zip.Add();
  ExpectArchiveTestsOk(archive_);
  EXPECT_EQ(ListedNames(archive_),
            (std::vector<std::string>{"123.csv", "123_1.jpg", "123_2.jpg", "README"}));

  TZip single(ui_);
  const std::string xml_zip = dir_ / "LeBonCoin_20261209.zip";
  single.SetZipFileName(xml_zip);
  WriteFile(dir_ / "LeBonCoin_20261209.xml", "<?xml version=\"1.0\"?><annonces/>");
  single.FilesToAdd().push_back(dir_.path() + "\\LeBonCoin_20261209.xml");
  single.Add();
  EXPECT_EQ(ListedNames(xml_zip), (std::vector<std::string>{"LeBonCoin_20261209.xml"}));
  EXPECT_EQ(Extract(xml_zip, "LeBonCoin_20261209.xml"), "<?xml version=\"1.0\"?><annonces/>");
  EXPECT_TRUE(PathExists(dir_ / "LeBonCoin_20261209.xml"));
}

}  // namespace
}  // namespace kalvex
