#include "app/qt/qt_front_end.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <thread>

#include "app/qt/form1.h"
#include "app/qt/qt_test_support.h"
#include "platform/error.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
using testing::WithQApplication;
using testing::WriteFile;

// A window run from the command line, in a working folder with an empty Kalvex.ini.
class QtFrontEndRunTest : public ::testing::Test {
 protected:
  QtFrontEndRunTest() {
    WriteFile(dir_ / "Kalvex.ini", "");
    app_.Driver().SetIniFolder(dir_.path() + "/");
  }

  // Runs the ParuVendu export in the window until the window closes.
  static int RunUntilClosed(QtFrontEnd& ui) {
    QApplication::setQuitOnLastWindowClosed(true);
    const int code = ui.Run({"ParuVendu"});
    QApplication::setQuitOnLastWindowClosed(false);
    return code;
  }

  WithQApplication qt_;
  TempDir dir_;
  ScopedEnv windir_{"Windir", dir_.path().c_str()};
  Application app_;
};

TEST_F(QtFrontEndRunTest, RunShowsTheWindowAndEndsWithCodeZeroWhenItCloses) {
  testing::RecordingFrontEnd ui(app_);
  app_.Driver().SetExporter("PARUVENDU", [](RunContext& ctx) { ctx.window.SetAutoClose(true); });

  bool shown = false;
  // Stands in for 30 seconds of timer ticks once the loop runs.
  QTimer::singleShot(0, [&] {
    shown = ui.Form().isVisible();
    for (int i = 0; i < 30; ++i) ui.Form().Timer1Timer();
  });
  const int code = RunUntilClosed(ui);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(ui.close_requests, 1);
  EXPECT_FALSE(ui.Form().isVisible());
}

// The window reports a run when it ends, before the error's message box, and ends the
// process with that run's exit code.
TEST_F(QtFrontEndRunTest, ARunIsReportedBeforeItsMessageBoxAndGivesTheExitCode) {
  struct CheckingFrontEnd : testing::RecordingFrontEnd {
    using RecordingFrontEnd::RecordingFrontEnd;
    void ShowMessage(const std::string& text) override {
      report_at_message = testing::ReadFile(report);
      RecordingFrontEnd::ShowMessage(text);
    }
    std::string report;
    std::string report_at_message;
  } ui(app_);
  ui.report = dir_ / "rapport.json";
  ui.SetReportPath(ui.report);
  app_.Driver().SetExporter("PARUVENDU", [](RunContext&) { throw Error("panne \"disque\""); });

  QTimer::singleShot(0, [&] { ui.Form().close(); });
  const int code = RunUntilClosed(ui);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"panne \"disque\""});
  EXPECT_NE(ui.report_at_message.find("\"code_sortie\": 1,"), std::string::npos)
      << ui.report_at_message;
  EXPECT_NE(ui.report_at_message.find("\"erreur\": \"panne \\\"disque\\\"\","), std::string::npos);
}

// A run past [Options] DureeMaxMinutes ends in the window as an error does, with code 7.
TEST_F(QtFrontEndRunTest, ARunPastItsDeadlineShowsTheMessageAndEndsWithCode7) {
  testing::RecordingFrontEnd ui(app_);
  WriteFile(dir_ / "Kalvex.ini", "[Options]\r\nDureeMaxMinutes=1\r\n");
  app_.Driver().SetDeadlineMinute(std::chrono::milliseconds(1));
  app_.Driver().SetExporter("PARUVENDU", [](RunContext& ctx) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ctx.state.deadline.EnterStep("envoi au portail");
  });

  QTimer::singleShot(0, [&] { ui.Form().close(); });
  EXPECT_EQ(RunUntilClosed(ui), 7);
  EXPECT_EQ(ui.messages, std::vector<std::string>{
                             "Durée maximale d'exécution dépassée (1 min, [Options] "
                             "DureeMaxMinutes dans Kalvex.ini) pendant : envoi au portail."});
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
