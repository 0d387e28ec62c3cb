// Runs the built executable the way a scheduler does.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "runcontrol/run_driver.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using testing::BinaryDir;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;

struct RunResult {
  int exit_code;
  std::string out;
  std::string err;
};

// Copies the executable into dir/bin, beside a Kalvex.ini when ini_text is given.
std::string InstallKalvex(const TempDir& dir, const char* ini_text) {
  const std::string bin = dir.path() + "/bin";
  const std::string cmd =
      "mkdir -p '" + bin + "' && cp '" + BinaryDir() + "/src/app/kalvex' '" + bin + "/'";
  EXPECT_EQ(testing::ShellCommand(cmd), 0);
  if (ini_text) testing::WriteFile(bin + "/Kalvex.ini", ini_text);
  return bin + "/kalvex";
}

// env: more "NAME=value" settings for the run.
RunResult RunKalvex(const TempDir& dir, const std::string& args, const char* ini_text = "",
                    const std::string& env = "") {
  const std::string exe = InstallKalvex(dir, ini_text);
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY " + env + " Windir='" + dir.path() +
                          "' '" + exe + "' " + args + " >'" + dir.path() + "/out' 2>'" +
                          dir.path() + "/err'";
  RunResult r;
  r.exit_code = testing::ShellCommand(cmd);
  r.out = ReadFile(dir / "out");
  r.err = ReadFile(dir / "err");
  return r;
}

TEST(KalvexExecutableTest, UnknownPortalExitsTwoWithoutLog) {
  TempDir dir;
  RunResult r = RunKalvex(dir, "--console FOO");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out.rfind("Export des données pour FOO\n", 0), 0u) << r.out;
  EXPECT_NE(r.err.find("PARUVENDU, AUTOSCOUT24, SITAUTOPRO, TOPANNONCES, LEBONCOIN, INFOPRESS"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(PathExists(dir.path() + "/TEMP/DadozoVavireFOO.log"));
  EXPECT_FALSE(PathExists(dir.path() + "/TEMP/DadozoVavire.log"));
}

TEST(KalvexExecutableTest, SyntaxErrorAndOptions) {
  TempDir dir;
  RunResult r = RunKalvex(dir, "--console A B");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "Syntax : Kalvex \"option\"\n");
  r = RunKalvex(dir, "--version");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "kalvex 1.1.0.0\n");
  // The portals this build can export, one code a line.
  r = RunKalvex(dir, "--list-portals");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("PARUVENDU\n"), std::string::npos) << r.out;
  for (size_t start = 0; start < r.out.size(); start = r.out.find('\n', start) + 1) {
    const std::string code = r.out.substr(start, r.out.find('\n', start) - start);
    EXPECT_TRUE(std::find(PortalCodes().begin(), PortalCodes().end(), code) != PortalCodes().end())
        << code;
  }
  r = RunKalvex(dir, "--help");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Usage : kalvex [--console] [--report FICHIER] PORTAIL"), std::string::npos);
}

TEST(KalvexExecutableTest, MissingIniIsLoggedWithoutPortal) {
  TempDir dir;
  RunResult r = RunKalvex(dir, "--console FOO", nullptr);
  EXPECT_EQ(r.exit_code, 2);
  const std::string log = ReadFile(dir.path() + "/TEMP/DadozoVavire.log");
  EXPECT_NE(log.find(" - Fichier INI non trouvé : " + dir.path() + "/bin/Kalvex.ini\r\n"),
            std::string::npos)
      << log;
}

// Today's date as the French locale writes it, or nothing when that locale is missing.
std::string FrenchToday() {
  if (std::setlocale(LC_TIME, "fr_FR.UTF-8") == nullptr) return "";
  const std::tm local = platform::LocalTimeNow();
  char text[32];
  const size_t n = std::strftime(text, sizeof(text), "%x", &local);
  std::setlocale(LC_TIME, "C");
  return std::string(text, n);
}

TEST(KalvexExecutableTest, TheLogDateFollowsTheUsersLocale) {
  const std::string before = FrenchToday();
  if (before.empty())
    GTEST_SKIP() << "locale fr_FR.UTF-8 not generated on this machine (scripts/bootstrap "
                    "generates it when run as root)";
  EXPECT_EQ(before.size(), 10u) << before;  // dd/mm/yyyy
  TempDir dir;
  RunResult r = RunKalvex(dir, "--console FOO", nullptr, "LC_ALL=fr_FR.UTF-8");
  EXPECT_EQ(r.exit_code, 2);
  const std::string after = FrenchToday();
  const std::string log = ReadFile(dir.path() + "/TEMP/DadozoVavire.log");
  // Run across midnight: either day.
  EXPECT_TRUE(log.rfind(before + " ", 0) == 0 || log.rfind(after + " ", 0) == 0) << log;
  EXPECT_NE(log.find(" - Fichier INI non trouvé : "), std::string::npos) << log;
}

TEST(KalvexExecutableTest, RecognisedPortalStartsItsLog) {
  TempDir dir;
  RunResult r = RunKalvex(dir, "--console PARUVENDU");
  EXPECT_NE(r.exit_code, 2);
  EXPECT_TRUE(PathExists(dir.path() + "/TEMP/DadozoVavirePARUVENDU.log"));
  EXPECT_EQ(r.out.rfind("Export des données pour PARUVENDU\n", 0), 0u) << r.out;
}

}  // namespace
}  // namespace kalvex
