#include "app/qt/qt_front_end.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include "app/qt/form1.h"
#include "app/qt/progress_form.h"
#include "app/run_reporter.h"

namespace kalvex {

QtFrontEnd::QtFrontEnd(Application& app) : app_(app) {
  app_.Window().SetFrontEnd(this);
  form_ = std::make_unique<TForm1>(app_);
  reporter_ = std::make_unique<RunReporter>(app_, "", stderr);
}

QtFrontEnd::~QtFrontEnd() {
  reporter_.reset();
  form_.reset();
  // The model may outlive this front end: leave it one that shows nothing.
  static NullFrontEnd detached;
  app_.Window().SetFrontEnd(&detached);
}

void QtFrontEnd::Start(const std::vector<std::string>& portal_args) {
  form_->FormCreate(portal_args);
  form_created_ = true;
  form_->show();
}

void QtFrontEnd::SetReportPath(const std::string& path) {
  reporter_.reset();
  reporter_ = std::make_unique<RunReporter>(app_, path, stderr);
}

int QtFrontEnd::Run(const std::vector<std::string>& portal_args) {
  Start(portal_args);
  QApplication::exec();
  return reporter_->Ran() ? reporter_->ExitCode() : kExitOk;
}

void QtFrontEnd::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtFrontEnd::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                  QString::fromStdString(text), QMessageBox::Ok,
                  form_->isVisible() ? form_.get() : nullptr);
  // Never read as rich text: a name in the message is shown as it is written.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtFrontEnd::RequestClose() {
  TForm1* form = form_.get();
  QMetaObject::invokeMethod(
      form, [form] { form->close(); }, Qt::QueuedConnection);
}

std::unique_ptr<ProgressDialog> QtFrontEnd::OpenProgressDialog(const std::string& caption) {
  const QString title =
      caption.empty() ? QApplication::applicationName() : QString::fromStdString(caption);
  auto dialog = std::make_unique<TProgressForm>(title, form_created_ ? form_.get() : nullptr);
  dialog->show();
  return dialog;
}

}  // namespace kalvex
