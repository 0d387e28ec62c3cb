#include "app/qt/progress_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace kalvex {

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 100;
constexpr int kBarMaximum = 65535;

}  // namespace

TProgressForm::TProgressForm(const QString& caption, const QWidget* main_window)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("ProgressForm");
  setWindowTitle(caption);
  setFixedSize(kWidth, kHeight);

  label_ = new QLabel("wait ...", this);
  label_->setObjectName("Label1");
  label_->setGeometry((kWidth - 280) / 2, 15, 280, 17);

  bar_ = new QProgressBar(this);
  bar_->setObjectName("ProgressBar1");
  bar_->setGeometry((kWidth - 280) / 2, 35, 280, 17);
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);

  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("Button1");
  cancel_->setGeometry((kWidth - 75) / 2, 60, 75, 25);
  cancel_->setDefault(true);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    cancelled_ = true;
    hide();
  });

  // Integer division rounds toward zero, as the placement rule wants.
  QRect around;
  if (main_window) {
    around = main_window->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    around = screen->availableGeometry();
  }
  move(around.left() + (around.width() - kWidth) / 2,
       around.top() + (around.height() - kHeight) / 2);
}

void TProgressForm::SetText(const std::string& text) {
  label_->setText(QString::fromStdString(text));
}

void TProgressForm::SetPosition(int position) {
  if (bar_->maximum() != kBarMaximum) bar_->setMaximum(kBarMaximum);
  bar_->setValue(std::clamp(position, 0, kBarMaximum));
}

}  // namespace kalvex
