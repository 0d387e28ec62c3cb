// TForm1, the status window: renders the application's WindowModel with Qt widgets laid
// out at their design positions (component names as object names), sends the user's
// edits back into the model, and runs the window's handlers. Errors that end a handler
// are shown through the front end's message box; the window stays open.
//
// Long runs change the progress labels for every photo and may log a line for each: the
// labels and the memo show the model's latest texts and new lines at most every
// kLabelInterval (about 10 times a second), the labels in widgets of a fixed size, and
// always end on the final texts and the last line. While the window is hidden (a
// command-line run) nothing is drawn or laid out: labels and memo lines are shown when
// it appears. A memo line longer than kMemoLineLimit characters is shown shortened with
// its length (MemoDisplayText); the memo's context menu copies a line, or the whole
// memo, whole from the model.
#pragma once

#include <QElapsedTimer>
#include <QMenu>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace kalvex {

class TForm1 : public QWidget, public WindowObserver {
 public:
  static constexpr int kLabelInterval = 100;  // milliseconds
  static constexpr size_t kMemoLineLimit = 500;

  explicit TForm1(Application& app, QWidget* parent = nullptr);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The window's creation handler: the command-line run, before the window is shown.
  void FormCreate(const std::vector<std::string>& args);
  // "Démarrer": a manual run with the combo box's text.
  void Button1Click();
  // "Version": clears the memo and lists the version block of the executable.
  void Button2Click();
  // The 1000 ms timer's tick (auto-close).
  void Timer1Timer();

  // The file whose version block "Version" lists; the running executable unless set.
  void SetExecutablePath(std::string path) { executable_path_ = std::move(path); }

  // WindowObserver
  void TextChanged(WindowField field, const std::string& text) override;
  void MemoLineAdded(const std::string& line) override;
  void MemoCleared() override;
  void ControlsVisibilityChanged(bool visible) override;

  // The memo's copy actions: the whole model line of the memo line that holds the
  // text cursor, and every model line (joined with line ends).
  void CopyMemoLine();
  void CopyMemo();
  // The memo's context menu at a point of the memo: Qt's standard actions, in French,
  // then the two copies.
  std::unique_ptr<QMenu> MemoMenu(const QPoint& position);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  template <typename Handler>
  void Guarded(Handler handler);
  QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top);
  QLineEdit* MakeEdit(QWidget* parent, const char* name, WindowField field, int left, int top,
                      bool password);
  void Render();
  // Shows what changed in the labels and the memo now, or when the interval since they
  // were last shown is over.
  void ShowProgressSoon();
  void ShowProgress();
  // Puts the model's label texts in the labels, when they changed since last shown.
  void ShowLabels();
  // Appends to the memo widget the model lines it does not show yet.
  void ShowMemoLines();
  void ShowMemoMenu(const QPoint& position);

  Application& app_;
  std::string executable_path_;
  std::array<QLineEdit*, static_cast<size_t>(WindowField::kCount)> edits_{};
  QGroupBox* group_box1_ = nullptr;
  QGroupBox* box_server_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QComboBox* cb_export_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QTimer* timer1_ = nullptr;
  QTimer* label_timer_ = nullptr;  // shows labels and memo lines held back by the interval
  QElapsedTimer progress_shown_;   // since labels and memo were last shown
  bool labels_pending_ = false;
  size_t memo_lines_shown_ = 0;        // model lines appended to the widget
  std::vector<int> memo_last_blocks_;  // the widget's last block of each of them
  QAction* copy_line_ = nullptr;
  QAction* copy_all_ = nullptr;
};

}  // namespace kalvex
