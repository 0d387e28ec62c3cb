// The window front end: owns the status window TForm1 and gives the run code its
// services (event processing, message boxes, the close request, progress windows).
// Start-up follows the program's order: the window is created, its creation handler
// runs the command-line export while the window is still hidden, then it is shown.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"

namespace kalvex {

class RunReporter;
class TForm1;

class QtFrontEnd : public FrontEnd {
 public:
  // Needs a QApplication. Creates the window (hidden) over the application's model.
  explicit QtFrontEnd(Application& app);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  TForm1& Form() { return *form_; }

  // The creation handler with the portal arguments, then the window is shown.
  void Start(const std::vector<std::string>& portal_args);
  // Start, then the event loop until the window is closed. Gives the exit code of the
  // last run (see run_reporter.h), 0 when no run was started.
  int Run(const std::vector<std::string>& portal_args);

  // The run report's file (native path), written at the end of each run, before an
  // error's message box; none unless set. To be set before Start.
  void SetReportPath(const std::string& path);

  // FrontEnd
  void ProcessPendingEvents() override;
  // A critical message box captioned with the application's name.
  void ShowMessage(const std::string& text) override;
  // Posts the close, as a click on the window's close box.
  void RequestClose() override;
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override;

 private:
  Application& app_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<RunReporter> reporter_;
  bool form_created_ = false;  // the window counts as main window once created
};

}  // namespace kalvex
