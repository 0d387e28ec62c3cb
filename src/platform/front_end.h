// The services of the windowing system that run code needs while it works: letting the
// window repaint and take input during long work, a message box, a close request and a
// progress window. The status window and the console each give one; nothing else in the
// tool knows which is running.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kalvex {

// A progress window for long archive work: a text line and a bar from 0 to 65535.
class ProgressDialog {
 public:
  virtual ~ProgressDialog() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetPosition(int position) = 0;
  // True once the user asked to cancel.
  virtual bool CancelRequested() = 0;
};

// Services that only the front end can give.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Lets the window repaint and handle input during long work.
  virtual void ProcessPendingEvents() {}
  // A message box (window) or a line on standard error (console).
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks the window to close, as a click on its close box would.
  virtual void RequestClose() {}
  // A progress window; the console one writes a line on standard error.
  virtual std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) = 0;
};

// A front end that shows nothing: message boxes are kept in `messages`, progress windows
// do nothing. For tests and tools.
class NullFrontEnd : public FrontEnd {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::unique_ptr<ProgressDialog> OpenProgressDialog(const std::string& caption) override;
  std::vector<std::string> messages;
};

}  // namespace kalvex
