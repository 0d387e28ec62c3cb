#include "app/qt/progress_form.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/qt/form1.h"
#include "app/qt/qt_test_support.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::RecordingFrontEnd;
using testing::WithQApplication;

class ProgressFormTest : public ::testing::Test {
 protected:
  WithQApplication qt_;
};

TEST_F(ProgressFormTest, LayoutAndTexts) {
  TProgressForm form("Kalvex", nullptr);
  EXPECT_EQ(form.windowTitle(), "Kalvex");
  EXPECT_EQ(form.size(), QSize(300, 100));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form.windowFlags() & Qt::Dialog);

  auto* label = form.findChild<QLabel*>();
  auto* bar = form.findChild<QProgressBar*>();
  auto* cancel = form.findChild<QPushButton*>();
  ASSERT_TRUE(label && bar && cancel);
  EXPECT_EQ(label->text(), "wait ...");
  EXPECT_EQ(label->x(), 10);
  EXPECT_EQ(label->y(), 15);
  EXPECT_EQ(label->width(), 280);
  EXPECT_EQ(bar->x(), 10);
  EXPECT_EQ(bar->y(), 35);
  EXPECT_EQ(bar->width(), 280);
  EXPECT_EQ(cancel->text(), "&Cancel");
  EXPECT_EQ(cancel->y(), 60);
  EXPECT_EQ(cancel->x(), (300 - cancel->width()) / 2);  // centred
  EXPECT_TRUE(cancel->isDefault());

  form.SetText("/tmp/Kalvex/LeBonCoin_20261209.xml");
  EXPECT_EQ(label->text(), "/tmp/Kalvex/LeBonCoin_20261209.xml");
  EXPECT_EQ(label->width(), 280);  // no automatic sizing
  EXPECT_EQ(bar->maximum(), 100);
  form.SetPosition(32768);
  EXPECT_EQ(bar->maximum(), 65535);
  EXPECT_EQ(bar->value(), 32768);
  form.SetPosition(70000);
  EXPECT_EQ(bar->value(), 65535);
}

TEST_F(ProgressFormTest, CancelRecordsTheRequestAndHides) {
  TProgressForm form("Kalvex", nullptr);
  form.show();
  EXPECT_FALSE(form.CancelRequested());
  QTest::mouseClick(form.findChild<QPushButton*>(), Qt::LeftButton);
  EXPECT_TRUE(form.CancelRequested());
  EXPECT_FALSE(form.isVisible());
}

TEST_F(ProgressFormTest, CentredOverTheMainWindowOrTheWorkArea) {
  QWidget main;
  main.setGeometry(198, 107, 515, 512);
  main.show();
  TProgressForm over(QString(), &main);
  const QRect m = main.frameGeometry();
  EXPECT_EQ(over.pos(), QPoint(m.left() + (m.width() - 300) / 2, m.top() + (m.height() - 100) / 2));

  TProgressForm alone(QString(), nullptr);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(alone.pos(),
            QPoint(area.left() + (area.width() - 300) / 2, area.top() + (area.height() - 100) / 2));
}

TEST_F(ProgressFormTest, FrontEndOpensItOverTheWindowOnceCreated) {
  testing::TempDir dir;
  testing::ScopedEnv windir("Windir", dir.path().c_str());
  testing::WriteFile(dir / "Kalvex.ini", "");
  Application app;
  RecordingFrontEnd ui(app);
  app.Driver().SetIniFolder(dir.path() + "/");

  // During the command-line run the window is not the main window yet.
  QPoint during_run;
  app.Driver().SetExporter("TOPANNONCES", [&](RunContext& ctx) {
    auto dialog = ctx.window.Ui().OpenProgressDialog("Kalvex");
    auto* form = dynamic_cast<TProgressForm*>(dialog.get());
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Kalvex");
    during_run = form->pos();
  });
  ui.Start({"TOPANNONCES"});
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(during_run,
            QPoint(area.left() + (area.width() - 300) / 2, area.top() + (area.height() - 100) / 2));

  auto dialog = app.Window().Ui().OpenProgressDialog("");
  auto* form = dynamic_cast<TProgressForm*>(dialog.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->windowTitle(), "Kalvex");  // the application's name
  const QRect m = ui.Form().frameGeometry();
  EXPECT_EQ(form->pos(),
            QPoint(m.left() + (m.width() - 300) / 2, m.top() + (m.height() - 100) / 2));
}

}  // namespace
}  // namespace kalvex
