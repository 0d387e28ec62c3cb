// Which front end a start gets on a POSIX session.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/front_end_choice.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using testing::BinaryDir;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

TEST(FrontEndChoiceTest, WindowNeedsADisplayOrAQtPlatform) {
  ScopedEnv no_platform("QT_QPA_PLATFORM", nullptr);
  ScopedEnv no_display("DISPLAY", nullptr);
  ScopedEnv no_wayland("WAYLAND_DISPLAY", nullptr);
  EXPECT_FALSE(WindowAvailable());
  {
    ScopedEnv empty("DISPLAY", "");
    EXPECT_FALSE(WindowAvailable());
  }
  {
    ScopedEnv x11("DISPLAY", ":0");
    EXPECT_TRUE(WindowAvailable());
  }
  {
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(WindowAvailable());
  }
  {
    ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    EXPECT_TRUE(WindowAvailable());
  }
}

struct KalvexRun {
  int exit_code;
  std::string out;
  std::string err;
};

// Runs a copy of the built executable placed beside a Kalvex.ini in dir/bin.
KalvexRun RunKalvex(const TempDir& dir, const std::string& env, const std::string& args) {
  const std::string bin = dir.path() + "/bin";
  const std::string install =
      "mkdir -p '" + bin + "' && cp '" + BinaryDir() + "/src/app/kalvex' '" + bin + "/'";
  EXPECT_EQ(testing::ShellCommand(install), 0);
  WriteFile(bin + "/Kalvex.ini", "[Options]\n");
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env +
                          " Windir='" + dir.path() + "' '" + bin + "/kalvex' " + args + " >'" +
                          dir.path() + "/out' 2>'" + dir.path() + "/err'";
  const int exit_code = testing::ShellCommand(cmd);
  return {exit_code, ReadFile(dir / "out"), ReadFile(dir / "err")};
}

TEST(FrontEndChoiceTest, ConsoleWhenAskedForOrWithoutDisplay) {
  TempDir dir;
  // An unrecognised portal ends a console run at once with code 2; the window would stay.
  for (const std::string& env :
       {std::string(), std::string("QT_QPA_PLATFORM=offscreen"), std::string("DISPLAY=:99")}) {
    const std::string args = env.empty() ? "foo" : "--console foo";
    const KalvexRun run = RunKalvex(dir, env, args);
    EXPECT_EQ(run.exit_code, 2) << env;
    EXPECT_EQ(run.out, "Export des données pour FOO\n") << env;
    EXPECT_EQ(run.err.substr(0, run.err.find(" (")), "Portail inconnu : foo") << env;
  }
}

}  // namespace
}  // namespace kalvex
