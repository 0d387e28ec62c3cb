// TProgressForm, the progress window of long archive work: "wait ..." and then the
// current file name, a bar, and a "&Cancel" button that records the cancel request and
// hides the window. A dialog-bordered window of 300 x 100 that stays on top, centred
// over the main window when there is one, else in the screen's work area.
#pragma once

#include <QDialog>

#include "runcontrol/window_model.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalvex {

class TProgressForm : public QDialog, public ProgressDialog {
 public:
  // main_window: the window to centre over, or nullptr.
  TProgressForm(const QString& caption, const QWidget* main_window);
  TProgressForm(const TProgressForm&) = delete;
  TProgressForm& operator=(const TProgressForm&) = delete;

  // ProgressDialog
  void SetText(const std::string& text) override;
  // Positions run from 0 to 65535; the first one sets the bar's maximum to 65535.
  void SetPosition(int position) override;
  bool CancelRequested() override { return cancelled_; }

 private:
  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  bool cancelled_ = false;
};

}  // namespace kalvex
