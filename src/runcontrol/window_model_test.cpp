#include "runcontrol/window_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kalvex {
namespace {

class CountingFrontEnd : public NullFrontEnd {
 public:
  void ProcessPendingEvents() override { ++events; }
  void RequestClose() override { ++closes; }
  int events = 0;
  int closes = 0;
};

class RecordingObserver : public WindowObserver {
 public:
  void TextChanged(WindowField field, const std::string& text) override {
    changes.emplace_back(field, text);
  }
  void MemoLineAdded(const std::string& line) override { lines.push_back(line); }
  void MemoCleared() override { ++clears; }
  std::vector<std::pair<WindowField, std::string>> changes;
  std::vector<std::string> lines;
  int clears = 0;
};

TEST(WindowModelTest, DesignTimeTexts) {
  WindowModel w;
  EXPECT_EQ(w.Text(WindowField::kCaption), "Form1");
  EXPECT_EQ(w.Text(WindowField::kGroupBox1), "Connexion Serveur Pixtrove : ");
  EXPECT_EQ(w.Text(WindowField::kBoxServer), "Connexion Serveur xxx : ");
  EXPECT_EQ(w.Text(WindowField::kParamRepertPixtrove), "www/pixtrove");
  EXPECT_EQ(w.Text(WindowField::kParamRepert), "");
  EXPECT_EQ(w.Text(WindowField::kLabel1), "Label1");
  EXPECT_EQ(w.Text(WindowField::kLabel2), "Label2");
  EXPECT_TRUE(w.ManualStartVisible());
}

TEST(WindowModelTest, ObserverSeesChangesOnly) {
  WindowModel w;
  RecordingObserver o;
  w.SetObserver(&o);
  w.SetText(WindowField::kLabel1, "Image 1 : a.jpg");
  w.SetText(WindowField::kLabel1, "Image 1 : a.jpg");
  w.AddMemoLine("-> x");
  w.ClearMemo();
  ASSERT_EQ(o.changes.size(), 1u);
  EXPECT_EQ(o.changes[0].second, "Image 1 : a.jpg");
  EXPECT_EQ(o.lines, std::vector<std::string>{"-> x"});
  EXPECT_EQ(o.clears, 1);
  EXPECT_TRUE(w.MemoLines().empty());
}

TEST(WindowModelTest, TimerClosesOnThirtiethTickAfterFlag) {
  WindowModel w;
  CountingFrontEnd fe;
  w.SetFrontEnd(&fe);
  for (int i = 0; i < 100; ++i) w.Timer1Timer();  // no flag: never closes
  EXPECT_EQ(fe.closes, 0);
  EXPECT_EQ(w.TickCounter(), 0);
  w.SetAutoClose(true);
  for (int i = 0; i < 29; ++i) w.Timer1Timer();
  EXPECT_EQ(fe.closes, 0);
  w.Timer1Timer();
  EXPECT_EQ(fe.closes, 1);
  w.Timer1Timer();  // later ticks ask again, harmlessly
  EXPECT_EQ(fe.closes, 2);
  EXPECT_EQ(fe.events, 131);
}

TEST(WindowModelTest, RecordLoopsLetEventsRunOncePerIntervalFromTheFirstCall) {
  WindowModel w;
  CountingFrontEnd ui;
  w.SetFrontEnd(&ui);
  const auto start = std::chrono::steady_clock::now();
  constexpr int kCalls = 20000;
  for (int i = 0; i < kCalls; ++i) w.ProcessPendingEventsWhenDue();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(ui.events, 1);  // the first call of the run lets them run
  EXPECT_LE(ui.events, elapsed / WindowModel::kEventInterval + 1);
  const int before = ui.events;
  std::this_thread::sleep_for(WindowModel::kEventInterval);
  w.ProcessPendingEventsWhenDue();
  EXPECT_EQ(ui.events, before + 1);
  w.ProcessPendingEvents();  // the timer's tick and others always let them run
  EXPECT_EQ(ui.events, before + 2);
}

TEST(WindowModelTest, MemoLinesAreKeptWholeAndShownShortenedWithTheirLength) {
  WindowModel w;
  const std::string line = "-> Result : " + std::string(600, 'x') + "€é";
  w.AddMemoLine(line);
  EXPECT_EQ(w.MemoLines().back(), line);
  // Characters, not bytes: "€" and "é" count one each, and are never cut in two.
  EXPECT_EQ(MemoDisplayText(line, 1000), line);
  EXPECT_EQ(MemoDisplayText(line, 614), line);
  EXPECT_EQ(MemoDisplayText(line, 613), line.substr(0, line.size() - 2) + " … (614 caractères)");
  EXPECT_EQ(MemoDisplayText(line, 9), "-> Result … (614 caractères)");
  EXPECT_EQ(MemoDisplayText("", 0), "");
}

// Lines and labels show data escaped; the edit fields are settings and keep their text.
TEST(WindowModelTest, ShownTextsEscapeControlCharacters) {
  WindowModel w;
  w.AddMemoLine("Envoi de a\r\nDELE x.");
  EXPECT_EQ(w.MemoLines().back(), "Envoi de a\\r\\nDELE x.");
  w.SetText(WindowField::kLabel1, "Image 1 : /p/a\x1b]0;x\x07.jpg");
  EXPECT_EQ(w.Text(WindowField::kLabel1), "Image 1 : /p/a\\x1B]0;x\\x07.jpg");
  w.SetText(WindowField::kCaption, "Export des données pour A\nB");
  EXPECT_EQ(w.Text(WindowField::kCaption), "Export des données pour A\\nB");
  w.SetText(WindowField::kParamRepert, "a\tb");
  EXPECT_EQ(w.Text(WindowField::kParamRepert), "a\tb");
}

}  // namespace
}  // namespace kalvex
