// TForm1, the status window: renders the application's WindowModel with Qt widgets laid
// out at their design positions (component names as object names), sends the user's
// edits back into the model, and runs the window's handlers. Errors that end a handler
// are shown through the front end's message box; the window stays open.
#pragma once

#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "app/application.h"

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

 private:
  template <typename Handler>
  void Guarded(Handler handler);
  QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top);
  QLineEdit* MakeEdit(QWidget* parent, const char* name, WindowField field, int left, int top,
                      bool password);
  void Render();

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
};

}  // namespace kalvex
