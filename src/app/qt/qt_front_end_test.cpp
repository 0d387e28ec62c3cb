#include "app/qt/qt_front_end.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTimer>
#include <cstdlib>

#include "app/front_end_choice.h"
#include "app/qt/form1.h"
#include "app/qt/qt_test_support.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::BinaryDir;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WithQApplication;
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
  EXPECT_EQ(std::system(install.c_str()), 0);
  WriteFile(bin + "/Kalvex.ini", "[Options]\n");
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env +
                          " Windir='" + dir.path() + "' '" + bin + "/kalvex' " + args + " >'" +
                          dir.path() + "/out' 2>'" + dir.path() + "/err'";
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "out"),
          ReadFile(dir / "err")};
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

TEST(QtFrontEndTest, RunShowsTheWindowAndEndsWithCodeZeroWhenItCloses) {
  WithQApplication qt;
  TempDir dir;
  ScopedEnv windir("Windir", dir.path().c_str());
  WriteFile(dir / "Kalvex.ini", "");
  Application app;
  testing::RecordingFrontEnd ui(app);
  app.Driver().SetIniFolder(dir.path() + "/");
  app.Driver().SetExporter("PARUVENDU", [](RunContext& ctx) { ctx.window.SetAutoClose(true); });

  bool shown = false;
  // Stands in for 30 seconds of timer ticks once the loop runs.
  QTimer::singleShot(0, [&] {
    shown = ui.Form().isVisible();
    for (int i = 0; i < 30; ++i) ui.Form().Timer1Timer();
  });
  QApplication::setQuitOnLastWindowClosed(true);
  const int code = ui.Run({"ParuVendu"});
  QApplication::setQuitOnLastWindowClosed(false);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(ui.close_requests, 1);
  EXPECT_FALSE(ui.Form().isVisible());
}

TEST(QtFrontEndTest, ModelOutlivesTheFrontEnd) {
  WithQApplication qt;
  Application app;
  {
    QtFrontEnd ui(app);
    app.Window().AddMemoLine("one");
  }
  // Neither the window nor its services are reached any more.
  app.Window().AddMemoLine("two");
  app.Window().Timer1Timer();
  app.Window().Ui().ShowMessage("after");
  EXPECT_EQ(app.Window().MemoLines(), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace kalvex
