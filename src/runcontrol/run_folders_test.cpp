#include "runcontrol/run_folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// A folder the run empties: each value that reaches a folder holding anything else is
// refused, naming the key and the resolved folder; a folder used for nothing else is not.
struct FolderCase {
  const char* name;
  const char* value;      // [AUTOSCOUT24] PathTemp
  const char* reason;     // after "<folder> " in the message, or empty when accepted
  const char* kept = "";  // the folder found inside it, below the test folder
};

class FolderToEmptyTest : public ::testing::Test, public ::testing::WithParamInterface<FolderCase> {
 protected:
  // Windir holds the run's folders, a photo folder, and links to the folder above it,
  // to a home folder, to the executable's folder and to the root.
  FolderToEmptyTest() {
    for (const char* folder : {"/TEMP/Kalvex", "/data/photos", "/elsewhere/home"})
      EXPECT_TRUE(platform::ForceDirectories(dir_.path() + folder));
    const std::pair<const char*, std::string> links[] = {{"up", dir_.path() + "/.."},
                                                         {"home", dir_.path() + "/elsewhere/home"},
                                                         {"bin", platform::ExecutableDir()},
                                                         {"root", "/"}};
    for (const auto& [link, target] : links)
      std::filesystem::create_directory_symlink(target, dir_ / link);
  }
  static std::string Canonical(const std::string& path) {
    return std::filesystem::canonical(path).string();
  }
  std::string Checked(const std::string& value) const {
    return FolderToEmpty("AUTOSCOUT24", "PathTemp", value, WorkingFolder(),
                         dir_.path() + "\\data\\photos");
  }
  TempDir dir_;
  ScopedEnv windir_{"Windir", dir_.path().c_str()};
  ScopedEnv home_{"HOME", (dir_.path() + "/elsewhere/home").c_str()};
};

TEST_P(FolderToEmptyTest, RefusesEveryFolderThatHoldsMore) {
  const FolderCase& c = GetParam();
  const std::string folder = dir_.path() + c.value;
  if (std::string(c.reason).empty()) {
    EXPECT_EQ(Checked(c.value), folder);
    return;
  }
  std::string resolved = platform::ResolvedPath(folder);
  std::string reason = c.reason;
  if (reason == "..") {
    reason = "le chemin " + platform::NativePath(folder) + " passe par « .. »";
  } else {
    reason = "le dossier " + resolved + " " + reason;
    if (*c.kept) reason += " " + Canonical(dir_.path() + c.kept);
  }
  try {
    Checked(c.value);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              std::string("Dossier refusé dans Kalvex.ini, [AUTOSCOUT24] PathTemp=") + c.value +
                  " : " + reason +
                  " ; ce dossier est vidé entièrement à chaque export, il doit servir à cela "
                  "seulement");
  }
}

INSTANTIATE_TEST_SUITE_P(
    PathTemp, FolderToEmptyTest,
    ::testing::Values(
        FolderCase{"Empty", "", "est le dossier Windir"},
        FolderCase{"Backslash", "\\", "est le dossier Windir"}, FolderCase{"DotDot", "\\..", ".."},
        FolderCase{"DotDotFurtherOn", "\\Temp\\AS24\\..\\..\\x", ".."},
        FolderCase{"RunLogs", "\\Temp", "est le dossier des journaux"},
        FolderCase{"WorkingFolder", "\\temp\\kalvex\\", "est le dossier de travail"},
        FolderCase{"PhotoFolder", "\\data\\photos", "est le dossier des photos"},
        FolderCase{"AbovePhotos", "\\data", "contient le dossier des photos", "/data/photos"},
        FolderCase{"AboveWindirThroughALink", "\\up", "contient le dossier Windir", "/."},
        FolderCase{"Home", "\\home", "est le dossier personnel"},
        FolderCase{"ExecutableFolder", "\\bin", "est le dossier du programme"},
        FolderCase{"Root", "\\root", "est la racine du système de fichiers"},
        FolderCase{"Default", "\\Temp\\AS24", ""},
        FolderCase{"BelowThePhotos", "\\data\\photos\\AS24", ""}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kalvex
