// The console front end: renders the window model on standard output (caption, memo
// lines as they come) and standard error (progress labels, when it is a terminal;
// message boxes).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"

namespace kalvex {

class ConsoleFrontEnd : public FrontEnd, public WindowObserver {
 public:
  ConsoleFrontEnd(std::FILE* out, std::FILE* err, bool err_is_terminal);

  // FrontEnd
  void ShowMessage(const std::string& text) override;
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override;

  // WindowObserver
  void TextChanged(WindowField field, const std::string& text) override;
  void MemoLineAdded(const std::string& line) override;
  void MemoCleared() override {}

  // Runs one export from the command line. Exit code: 0 when the run ended normally
  // (auto-close flag set), 3 when it ended normally but its portal upload failed, 1 when
  // an error ended it, 2 for a syntax error or an unrecognised portal.
  int Run(Application& app, const std::vector<std::string>& portal_args);

 private:
  std::FILE* out_;
  std::FILE* err_;
  bool err_is_terminal_;
  bool label_line_open_ = false;
};

}  // namespace kalvex
