#include "app/qt/form1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "app/qt/qt_test_support.h"
#include "platform/error.h"
#include "runcontrol/config_keys.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::BinaryDir;
using testing::RecordingFrontEnd;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WithQApplication;
using testing::WriteFile;

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() : windir_("Windir", dir_.path().c_str()) {
    WriteFile(dir_ / "Kalvex.ini", "[Options]\nPathImages=/photos\n");
    app_.Driver().SetIniFolder(dir_.path() + "/");
    for (const std::string& code : PortalCodes())
      app_.Driver().SetExporter(code, [this, code](RunContext& ctx) {
        ran_.push_back(code);
        ctx.window.SetAutoClose(true);
      });
  }

  template <typename T>
  T* Find(const char* name) {
    T* found = ui_.Form().findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  // The memo's text once the lines held back by the window's interval are shown.
  std::string MemoText() {
    QTimer* held = Find<QTimer>("ProgressTimer");
    EXPECT_TRUE(QTest::qWaitFor([held] { return !held->isActive(); }));
    return Find<QPlainTextEdit>("Memo")->toPlainText().toStdString();
  }
  // Ticks are driven by hand; the real timer would add its own.
  void Tick(int times) {
    Find<QTimer>("Timer1")->stop();
    for (int i = 0; i < times; ++i) ui_.Form().Timer1Timer();
  }

  WithQApplication qt_;
  TempDir dir_;
  ScopedEnv windir_;
  Application app_;
  RecordingFrontEnd ui_{app_};
  std::vector<std::string> ran_;
};

TEST_F(Form1Test, ComponentsHaveTheirDesignNamesPlacesAndTexts) {
  TForm1& form = ui_.Form();
  EXPECT_EQ(form.objectName(), "Form1");
  EXPECT_EQ(form.windowTitle(), "Form1");
  EXPECT_EQ(form.pos(), QPoint(198, 107));
  EXPECT_EQ(form.size(), QSize(515, 512));
  EXPECT_EQ(form.font().family(), "MS Sans Serif");  // the system substitutes its own
  EXPECT_EQ(form.font().pointSize(), 8);
  // The progress labels grow under the buttons, never over them.
  const QObjectList& stack = form.children();
  EXPECT_LT(stack.indexOf(Find<QLabel>("Label1")), stack.indexOf(Find<QPushButton>("Button2")));
  EXPECT_LT(stack.indexOf(Find<QLabel>("Label2")), stack.indexOf(Find<QPushButton>("Button2")));

  struct Sized {
    const char* name;
    QRect geometry;
    const char* parent;
  };
  for (const Sized& c : std::vector<Sized>{
           {"GroupBox1", {8, 0, 241, 201}, "Form1"},
           {"paramServeurPixtrove", {8, 40, 225, 21}, "GroupBox1"},
           {"paramUserPixtrove", {8, 80, 225, 21}, "GroupBox1"},
           {"paramPasswordPixtrove", {8, 120, 225, 21}, "GroupBox1"},
           {"paramRepertPixtrove", {8, 164, 225, 21}, "GroupBox1"},
           {"BoxServer", {256, 0, 241, 201}, "Form1"},
           {"paramServeur", {8, 40, 225, 21}, "BoxServer"},
           {"paramUser", {8, 80, 225, 21}, "BoxServer"},
           {"paramPassword", {8, 120, 225, 21}, "BoxServer"},
           {"paramRepert", {8, 168, 225, 21}, "BoxServer"},
           {"CBExport", {320, 208, 177, 21}, "Form1"},
           {"Button1", {320, 240, 177, 49}, "Form1"},
           {"Button2", {256, 240, 57, 49}, "Form1"},
           {"BoxMemo", {8, 296, 489, 177}, "Form1"},
           {"Memo", {8, 16, 473, 153}, "BoxMemo"},
       }) {
    QWidget* w = Find<QWidget>(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), c.geometry) << c.name;
    EXPECT_EQ(w->parentWidget()->objectName(), c.parent) << c.name;
  }

  struct Placed {
    const char* name;
    QPoint position;
    const char* text;
    const char* parent;
  };
  for (const Placed& c : std::vector<Placed>{
           {"Label3", {8, 24}, "Serveur FTP :", "GroupBox1"},
           {"Label4", {8, 64}, "Utilisateur :", "GroupBox1"},
           {"Label5", {8, 104}, "Mot de passe : ", "GroupBox1"},
           {"Label6", {8, 150}, "Répertoire : ", "GroupBox1"},
           {"lbServer", {8, 24}, "Serveur FTP :", "BoxServer"},
           {"LbUser", {8, 64}, "Utilisateur :", "BoxServer"},
           {"LbPassword", {8, 104}, "Mot de passe : ", "BoxServer"},
           {"Label7", {8, 152}, "Répertoire :", "BoxServer"},
           {"Label1", {16, 232}, "Label1", "Form1"},
           {"Label2", {16, 264}, "Label2", "Form1"},
       }) {
    QLabel* label = Find<QLabel>(c.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), c.position) << c.name;
    EXPECT_EQ(label->text().toStdString(), c.text) << c.name;
    EXPECT_EQ(label->parentWidget()->objectName(), c.parent) << c.name;
  }

  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "Connexion Serveur Pixtrove : ");
  EXPECT_EQ(Find<QGroupBox>("BoxServer")->title(), "Connexion Serveur xxx : ");
  EXPECT_EQ(Find<QGroupBox>("BoxMemo")->title(), "Etat : ");
  EXPECT_EQ(Find<QPushButton>("Button1")->text().toStdString(), "Démarrer");
  EXPECT_EQ(Find<QPushButton>("Button2")->text(), "Version");

  EXPECT_EQ(Find<QLineEdit>("paramServeurPixtrove")->text(), config::kPresetHost);
  EXPECT_EQ(Find<QLineEdit>("paramUserPixtrove")->text(), config::kPresetImageUser);
  EXPECT_EQ(Find<QLineEdit>("paramPasswordPixtrove")->text(), config::kPresetImagePassword);
  EXPECT_EQ(Find<QLineEdit>("paramRepertPixtrove")->text(), "www/pixtrove");
  EXPECT_EQ(Find<QLineEdit>("paramServeur")->text(), config::kPresetHost);
  EXPECT_EQ(Find<QLineEdit>("paramUser")->text(), config::kPresetPortalUser);
  EXPECT_EQ(Find<QLineEdit>("paramPassword")->text(), config::kPresetPortalPassword);
  EXPECT_EQ(Find<QLineEdit>("paramRepert")->text(), "");

  QComboBox* combo = Find<QComboBox>("CBExport");
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->currentText(), "");
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  EXPECT_EQ(items, QStringList({"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces",
                                "LeBonCoin", "InfoPress"}));

  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->toPlainText(), "");

  QTimer* timer = Find<QTimer>("Timer1");
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_TRUE(timer->isActive());
  EXPECT_FALSE(form.isVisible());  // shown only after the creation handler
}

TEST_F(Form1Test, PasswordFieldsShowOneStarPerCharacter) {
  for (const char* name : {"paramPasswordPixtrove", "paramPassword"}) {
    QLineEdit* edit = Find<QLineEdit>(name);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << name;
    QStyleOptionFrame option;
    option.initFrom(edit);
    EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &option, edit), '*')
        << name;
    edit->setText("s3cr\u00e9t");
    EXPECT_EQ(edit->displayText(), "******") << name;
  }
  for (const char* name : {"paramServeurPixtrove", "paramUserPixtrove", "paramRepertPixtrove",
                           "paramServeur", "paramUser", "paramRepert"})
    EXPECT_EQ(Find<QLineEdit>(name)->echoMode(), QLineEdit::Normal) << name;
}

TEST_F(Form1Test, FieldsFollowTheModelAndUserEditsGoBackIntoIt) {
  WindowModel& model = app_.Window();
  model.SetText(WindowField::kParamUser, "depot");
  EXPECT_EQ(Find<QLineEdit>("paramUser")->text(), "depot");

  QLineEdit* host = Find<QLineEdit>("paramServeur");
  host->clear();
  QTest::keyClicks(host, "127.0.0.2");
  EXPECT_EQ(model.Text(WindowField::kParamServeur), "127.0.0.2");
  QLineEdit* password = Find<QLineEdit>("paramPasswordPixtrove");
  password->selectAll();
  QTest::keyClicks(password, "pw");
  EXPECT_EQ(model.Text(WindowField::kParamPasswordPixtrove), "pw");

  QComboBox* combo = Find<QComboBox>("CBExport");
  QTest::keyClicks(combo->lineEdit(), "TopAnn");
  EXPECT_EQ(model.Text(WindowField::kCBExport), "TopAnn");
  combo->setCurrentIndex(4);
  EXPECT_EQ(model.Text(WindowField::kCBExport), "LeBonCoin");

  model.SetText(WindowField::kLabel1, "Image 3 : /photos/VO12_1.jpg");
  model.SetText(WindowField::kLabel2, "Update 1 : /photos/VO12_1.jpg - on transfert");
  model.AddMemoLine("-> hidden");
  // Nothing is drawn while the window is hidden; it shows the latest texts as it appears.
  QLabel* label1 = Find<QLabel>("Label1");
  EXPECT_EQ(label1->text(), "Label1");
  EXPECT_EQ(MemoText(), "");
  ui_.Form().show();
  EXPECT_EQ(label1->text(), "Image 3 : /photos/VO12_1.jpg");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "Update 1 : /photos/VO12_1.jpg - on transfert");
  // The labels run to the window's right edge whatever their text: no relayout.
  for (QLabel* label : {label1, Find<QLabel>("Label2")})
    EXPECT_EQ(label->x() + label->width(), ui_.Form().width() - 8);
  EXPECT_EQ(MemoText(), "-> hidden");
  model.ClearMemo();

  model.AddMemoLine("-> first");
  model.AddMemoLine("second");
  EXPECT_EQ(MemoText(), "-> first\nsecond");
  model.ClearMemo();
  EXPECT_EQ(MemoText(), "");
}

TEST_F(Form1Test, UnrecognisedOptionSetsCaptionsAndKeepsTheManualStart) {
  ui_.Start({"foo"});
  TForm1& form = ui_.Form();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.windowTitle().toStdString(), "Export des données pour FOO");
  EXPECT_EQ(Find<QGroupBox>("BoxServer")->title(), "Connexion FTP pour FOO : ");
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "Connexion Serveur Pixtrove : ");
  EXPECT_TRUE(Find<QPushButton>("Button1")->isVisible());
  EXPECT_TRUE(Find<QComboBox>("CBExport")->isVisible());
  EXPECT_TRUE(ran_.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(app_.Window().AutoClose());
  Tick(40);
  EXPECT_EQ(ui_.close_requests, 0);
  EXPECT_TRUE(form.isVisible());
}

TEST_F(Form1Test, RecognisedOptionRunsBeforeTheWindowIsShownAndHidesTheManualStart) {
  bool visible_during_run = true;
  app_.Driver().SetExporter("PARUVENDU", [&](RunContext& ctx) {
    visible_during_run = ui_.Form().isVisible();
    ran_.push_back("PARUVENDU");
    ctx.window.SetAutoClose(true);
  });
  ui_.Start({"paruvendu"});
  EXPECT_FALSE(visible_during_run);
  EXPECT_EQ(ran_, std::vector<std::string>{"PARUVENDU"});
  EXPECT_TRUE(ui_.Form().isVisible());
  EXPECT_EQ(ui_.Form().windowTitle().toStdString(), "Export des données pour PARUVENDU");
  EXPECT_FALSE(Find<QPushButton>("Button1")->isVisible());
  EXPECT_FALSE(Find<QComboBox>("CBExport")->isVisible());
  EXPECT_TRUE(Find<QPushButton>("Button2")->isVisible());
}

TEST_F(Form1Test, DemarrerRunsTheComboTextAndHidesTheControlsOnceRecognised) {
  ui_.Start({});
  EXPECT_EQ(MemoText(), "Syntax : Kalvex \"option\"");
  QPushButton* button1 = Find<QPushButton>("Button1");
  QComboBox* combo = Find<QComboBox>("CBExport");

  QTest::mouseClick(button1, Qt::LeftButton);  // empty text: nothing happens
  EXPECT_EQ(ui_.Form().windowTitle(), "Form1");

  QTest::keyClicks(combo->lineEdit(), " ParuVendu");
  QTest::mouseClick(button1, Qt::LeftButton);
  EXPECT_EQ(ui_.Form().windowTitle().toStdString(), "Export des données pour  PARUVENDU");
  EXPECT_TRUE(ran_.empty());
  EXPECT_TRUE(button1->isVisible());

  combo->setCurrentIndex(1);
  QTest::mouseClick(button1, Qt::LeftButton);
  EXPECT_EQ(ran_, std::vector<std::string>{"AUTOSCOUT24"});
  EXPECT_EQ(Find<QGroupBox>("BoxServer")->title(), "Connexion FTP pour AUTOSCOUT24 : ");
  EXPECT_FALSE(button1->isVisible());
  EXPECT_FALSE(combo->isVisible());
}

TEST_F(Form1Test, CloseIsRequestedOnThe30thTickAfterTheFlagAndNotBefore) {
  app_.Driver().SetExporter("TOPANNONCES", [](RunContext&) {});  // leaves the flag unset
  ui_.Start({"TopAnnonces"});
  Tick(45);
  EXPECT_EQ(ui_.close_requests, 0);
  EXPECT_EQ(app_.Window().TickCounter(), 0);

  app_.Window().SetAutoClose(true);
  Tick(29);
  EXPECT_EQ(ui_.close_requests, 0);
  EXPECT_TRUE(ui_.Form().isVisible());
  Tick(1);
  EXPECT_EQ(ui_.close_requests, 1);
  EXPECT_FALSE(ui_.Form().isVisible());  // the posted close ran during the tick
  Tick(2);                               // later ticks ask again, harmlessly
  EXPECT_EQ(ui_.close_requests, 3);
}

TEST_F(Form1Test, ErrorEndingARunIsShownAndTheWindowStaysOpen) {
  app_.Driver().SetExporter("LEBONCOIN", [](RunContext& ctx) {
    ctx.window.AddMemoLine("-> started");
    throw Error("Impossible d'ouvrir ExpDatasLeBonCoin.xml\r\nFichier introuvable");
  });
  ui_.Start({"LeBonCoin"});
  EXPECT_EQ(ui_.messages, std::vector<std::string>{
                              "Impossible d'ouvrir ExpDatasLeBonCoin.xml\r\nFichier introuvable"});
  EXPECT_TRUE(ui_.Form().isVisible());
  EXPECT_FALSE(app_.Window().AutoClose());
  Tick(40);
  EXPECT_EQ(ui_.close_requests, 0);
  EXPECT_TRUE(ui_.Form().isVisible());

  // The same report for a run started with "Démarrer".
  app_.Driver().SetExporter("INFOPRESS", [](RunContext&) { throw Error("Erreur InfoPress"); });
  app_.Window().SetManualStartVisible(true);
  Find<QComboBox>("CBExport")->setCurrentIndex(5);
  QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
  EXPECT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages.back(), "Erreur InfoPress");
  EXPECT_TRUE(ui_.Form().isVisible());
}

// A front end whose close request fails, to make a tick raise.
class FailingCloseFrontEnd : public RecordingFrontEnd {
 public:
  using RecordingFrontEnd::RecordingFrontEnd;
  void RequestClose() override { throw Error("Fermeture refusée"); }
};

TEST(Form1TimerTest, ErrorInsideATickIsReportedAndTheTimerKeepsRunning) {
  WithQApplication qt;
  Application app;
  FailingCloseFrontEnd ui(app);
  QTimer* timer = ui.Form().findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  app.Window().SetAutoClose(true);
  for (int i = 0; i < 30; ++i) ui.Form().Timer1Timer();
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Fermeture refusée"});
  EXPECT_TRUE(timer->isActive());
  ui.Form().Timer1Timer();
  EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(Form1Test, RunLogLinesReachTheMemo) {
  app_.Driver().SetExporter("INFOPRESS", [](RunContext& ctx) {
    ctx.WriteLog("Nb Véhicules : 3");
    ctx.WriteLog("Fichier envoyé");
  });
  ui_.Start({"InfoPress"});
  const std::vector<std::string>& lines = app_.Window().MemoLines();
  ASSERT_EQ(lines.size(), 3u);  // the restart, then the two lines
  EXPECT_EQ(lines[0], "-> ");
  EXPECT_TRUE(lines[1].starts_with("-> ") && lines[1].ends_with(" - Nb Véhicules : 3")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(" - Fichier envoyé")) << lines[2];
  EXPECT_EQ(MemoText(), lines[0] + "\n" + lines[1] + "\n" + lines[2]);
}

TEST_F(Form1Test, PendingEventsAreHandledDuringARun) {
  bool delivered = false;
  app_.Driver().SetExporter("SITAUTOPRO", [&](RunContext& ctx) {
    QTimer::singleShot(0, [&] { delivered = true; });
    ctx.window.SetText(WindowField::kLabel1, "Image 1 : /photos/a.jpg");
    ctx.WriteLog("Après premier Select DataVO");
    ctx.window.ProcessPendingEvents();
    EXPECT_TRUE(delivered);
    // A command-line run happens before the window is shown: nothing is drawn yet.
    EXPECT_EQ(Find<QLabel>("Label1")->text(), "Label1");
    EXPECT_EQ(MemoText(), "");
  });
  ui_.Start({"SITAUTOPRO"});
  EXPECT_TRUE(delivered);
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "Image 1 : /photos/a.jpg");
  EXPECT_EQ(MemoText(), app_.Window().MemoLines()[0] + "\n" + app_.Window().MemoLines()[1]);
}

TEST_F(Form1Test, LabelsAndMemoShowAtMostTenTimesASecondAndEndOnTheFinalTexts) {
  ui_.Form().show();
  QLabel* label1 = Find<QLabel>("Label1");
  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo");
  QElapsedTimer clock;
  clock.start();
  QString last = label1->text();
  int blocks = memo->blockCount();
  int shown = 0;
  int memo_shown = 0;
  constexpr int kUpdates = 3000;
  for (int i = 1; i <= kUpdates; ++i) {
    app_.Window().SetText(WindowField::kLabel1, "Image " + std::to_string(i) + " : /photos/a.jpg");
    app_.Window().AddMemoLine("-> Pb Existence : " + std::to_string(i) + ".jpg");
    app_.Window().ProcessPendingEvents();
    if (label1->text() != last) {
      last = label1->text();
      ++shown;
    }
    if (memo->blockCount() != blocks) {
      blocks = memo->blockCount();
      ++memo_shown;
    }
  }
  EXPECT_LE(shown, clock.elapsed() / TForm1::kLabelInterval + 2);
  EXPECT_LE(memo_shown, clock.elapsed() / TForm1::kLabelInterval + 2);
  // The last text and line come once the interval has passed, without any further update.
  const QString final_text = "Image 3000 : /photos/a.jpg";
  EXPECT_TRUE(QTest::qWaitFor([&] { return label1->text() == final_text; }));
  EXPECT_EQ(memo->blockCount(), kUpdates);
  EXPECT_EQ(memo->document()->lastBlock().text(), "-> Pb Existence : 3000.jpg");
}

TEST_F(Form1Test, LongMemoLinesAreShownShortenedAndCopiedWhole) {
  ui_.Form().show();
  WindowModel& model = app_.Window();
  const std::string document =
      "-> 12/09/26 14:05:07 - Result : <?xml version=\"1.0\"?>\\n<document>" +
      std::string(20000, 'x') + "</document>";
  model.AddMemoLine("-> first");
  model.AddMemoLine(document);
  model.AddMemoLine("-> last");
  EXPECT_EQ(MemoText(),
            "-> first\n" + MemoDisplayText(document, TForm1::kMemoLineLimit) + "\n-> last");
  EXPECT_NE(MemoText().find(" … (" + std::to_string(document.size()) + " caractères)"),
            std::string::npos);

  // The line that holds the text cursor is copied whole.
  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo");
  QAction* copy_line = Find<QAction>("CopyMemoLine");
  const std::pair<int, std::string> blocks[] = {{0, "-> first"}, {1, document}, {2, "-> last"}};
  for (const auto& [block, line] : blocks) {
    memo->setTextCursor(QTextCursor(memo->document()->findBlockByNumber(block)));
    copy_line->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), line) << block;
  }
  Find<QAction>("CopyMemo")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "-> first\n" + document + "\n-> last");

  // The context menu speaks French, Qt's own actions included.
  std::vector<std::string> texts;
  const std::unique_ptr<QMenu> menu = ui_.Form().MemoMenu(QPoint(4, 4));
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) texts.push_back(action->text().toStdString());
  EXPECT_EQ(texts, (std::vector<std::string>{"&Copier", "Tout &sélectionner",
                                             "Copier la ligne entière", "Copier tout le journal"}));
}

TEST_F(Form1Test, VersionListsTheExecutablesBlock) {
  ui_.Start({});
  ui_.Form().SetExecutablePath(BinaryDir() + "/src/app/kalvex");
  QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
  EXPECT_EQ(MemoText(),
            "FileDescription : \n"
            "CompanyName : \n"
            "FileVersion : 1.1.0.0\n"
            "InternalName : \n"
            "LegalCopyRight : \n"
            "OriginalFileName : \n"
            "ProductName : \n"
            "ProductVersion : 1.0.0.0");
  EXPECT_EQ(app_.Window().MemoLines().size(), 8u);

  // A file without block: the memo is only cleared.
  for (const std::string& path : {std::string("/bin/true"), dir_ / "Kalvex.ini"}) {
    app_.Window().AddMemoLine("before");
    ui_.Form().SetExecutablePath(path);
    ui_.Form().Button2Click();
    EXPECT_EQ(MemoText(), "") << path;
    EXPECT_TRUE(app_.Window().MemoLines().empty()) << path;
  }
}

}  // namespace
}  // namespace kalvex
