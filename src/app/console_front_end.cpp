#include "app/console_front_end.h"
#include "app/app_texts.h"

#include "app/run_reporter.h"
#include "runcontrol/run_driver.h"
#include "runcontrol/window_model.h"

namespace kalvex {

namespace {

class ConsoleProgressDialog : public ProgressDialog {
 public:
  ConsoleProgressDialog(std::FILE* err, bool terminal, std::string caption)
      : err_(err), terminal_(terminal), caption_(std::move(caption)) {}
  ~ConsoleProgressDialog() override {
    if (terminal_ && shown_) std::fputc('\n', err_);
  }
  void SetText(const std::string& text) override {
    text_ = text;
    Show();
  }
  void SetPosition(int position) override {
    int percent = static_cast<int>(static_cast<long>(position) * 100 / 65535);
    if (percent == percent_) return;
    percent_ = percent;
    Show();
  }
  bool CancelRequested() override { return false; }

 private:
  void Show() {
    if (!terminal_) return;
    std::fprintf(err_, "\r%s %s %3d%%\x1b[K", EscapeControls(caption_).c_str(),
                 EscapeControls(text_).c_str(), percent_);
    std::fflush(err_);
    shown_ = true;
  }
  std::FILE* err_;
  bool terminal_;
  std::string caption_;
  std::string text_;
  int percent_ = -1;
  bool shown_ = false;
};

}  // namespace

ConsoleFrontEnd::ConsoleFrontEnd(std::FILE* out, std::FILE* err, bool err_is_terminal)
    : out_(out), err_(err), err_is_terminal_(err_is_terminal) {}

void ConsoleFrontEnd::FlushOut() {
  if (!out_held_) return;
  std::fflush(out_);
  out_held_ = false;
  last_flush_ = std::chrono::steady_clock::now();
}

void ConsoleFrontEnd::WriteOut(const std::string& line, bool flush_now) {
  std::fprintf(out_, "%s\n", line.c_str());
  out_held_ = true;
  if (flush_now || std::chrono::steady_clock::now() - last_flush_ >= kFlushInterval) FlushOut();
}

void ConsoleFrontEnd::ShowMessage(const std::string& text) {
  FlushOut();
  if (label_line_open_) {
    std::fputc('\n', err_);
    label_line_open_ = false;
  }
  std::fprintf(err_, "%s\n", EscapeControlsKeepingLines(text).c_str());
  std::fflush(err_);
}

std::unique_ptr<ProgressDialog> ConsoleFrontEnd::OpenProgressDialog(const std::string& caption) {
  return std::make_unique<ConsoleProgressDialog>(err_, err_is_terminal_, caption);
}

void ConsoleFrontEnd::TextChanged(WindowField field, const std::string& text) {
  if (field == WindowField::kCaption) {
    WriteOut(text, /*flush_now=*/true);
  } else if ((field == WindowField::kLabel1 || field == WindowField::kLabel2) && err_is_terminal_) {
    // Held lines go first, or they would land on the label's line of a shared terminal.
    FlushOut();
    std::fprintf(err_, "\r%s\x1b[K", text.c_str());
    std::fflush(err_);
    label_line_open_ = true;
  }
}

void ConsoleFrontEnd::MemoLineAdded(const std::string& line) {
  if (label_line_open_) {
    std::fprintf(err_, "\r\x1b[K");
    label_line_open_ = false;
  }
  WriteOut(line, /*flush_now=*/false);
}

int ConsoleFrontEnd::Run(Application& app, const std::vector<std::string>& portal_args) {
  app.Window().SetFrontEnd(this);
  app.Window().SetObserver(this);
  RunReporter reporter(app, report_path_, err_);
  try {
    app.Driver().FormCreate(portal_args);
  } catch (const std::exception& e) {
    ShowMessage(e.what());
  }
  if (portal_args.size() != 1) {
    std::fprintf(err_, "%s\n", app_text::kUsage);
    reporter.SyntaxError(app_text::kUsage);
  } else if (reporter.ExitCode() == kExitSyntax) {
    std::fprintf(err_, "%s\n", EscapeControlsKeepingLines(reporter.Message()).c_str());
  }
  FlushOut();
  app.Window().SetObserver(nullptr);
  return reporter.ExitCode();
}

}  // namespace kalvex
