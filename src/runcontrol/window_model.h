// What the status window shows, as plain state: captions, the eight server fields,
// the two progress labels, the memo, the manual-start controls and the auto-close
// timer. Front ends (Qt window, console) render it and are told of every change;
// the run code never sees a front end, only this model and its FrontEnd services.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/front_end.h"

namespace kalvex {

enum class WindowField {
  kCaption,               // Form1
  kGroupBox1,             // "Connexion Serveur Pixtrove : "
  kBoxServer,             // "Connexion FTP pour " + code + " : "
  kParamServeurPixtrove,  // image server
  kParamUserPixtrove,
  kParamPasswordPixtrove,
  kParamRepertPixtrove,
  kParamServeur,  // portal drop
  kParamUser,
  kParamPassword,
  kParamRepert,
  kLabel1,
  kLabel2,
  kCBExport,  // text of the portal combo box
  kCount
};

class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  virtual void TextChanged(WindowField /*field*/, const std::string& /*text*/) {}
  virtual void MemoLineAdded(const std::string& /*line*/) {}
  virtual void MemoCleared() {}
  virtual void ControlsVisibilityChanged(bool /*visible*/) {}
};

// The text a window shows for a memo line: the line itself up to `limit` characters;
// a longer line is cut after `limit` characters and followed by
// " … (" + its length in characters + " caractères)".
std::string MemoDisplayText(const std::string& line, size_t limit);

// Data shown in a log or memo line may hold control characters (a photo name with CR LF
// or an escape sequence): shown as they are, they would end the line early, forge a line
// or drive the terminal. They are shown escaped, so that every line is one line: CR as
// "\r", LF as "\n", tab as "\t", the other C0 controls and DEL as "\xNN", and the C1
// controls (U+0080 to U+009F) as the "\xNN" of their two UTF-8 bytes. Other text, a
// backslash included, is left as it is; text without control characters comes back
// unchanged.
void AppendEscapingControls(std::string& line, std::string_view text);
bool HoldsControls(std::string_view text);
std::string EscapeControls(std::string_view text);
// A message of several lines as a console shows it: its line breaks (LF, CR LF) kept as
// they are, every other control character escaped as EscapeControls does.
std::string EscapeControlsKeepingLines(std::string_view text);

class WindowModel {
 public:
  WindowModel();

  const std::string& Text(WindowField field) const;
  // The caption, the group captions and the two labels only show text: theirs is kept
  // with its control characters escaped (EscapeControls). The edit fields keep theirs.
  void SetText(WindowField field, const std::string& text);

  // Every line whole, however long: what a window shows may be shortened
  // (MemoDisplayText), what is copied from it comes from here.
  const std::vector<std::string>& MemoLines() const { return memo_; }
  // Keeps the line with its control characters escaped (EscapeControls).
  void AddMemoLine(std::string line);
  void ClearMemo();

  // Button1 ("Démarrer") and CBExport: shown for a manual start, hidden once a
  // portal is selected.
  bool ManualStartVisible() const { return manual_start_visible_; }
  void SetManualStartVisible(bool visible);

  // Set by an exporter as the last step of a run that ended normally.
  bool AutoClose() const { return auto_close_; }
  void SetAutoClose(bool on) { auto_close_ = on; }
  int32_t TickCounter() const { return tick_counter_; }

  // The 1000 ms timer's tick: counts while the auto-close flag is set and asks for
  // the close from the 30th counted tick on; then lets pending events run.
  void Timer1Timer();

  void SetObserver(WindowObserver* observer) { observer_ = observer; }
  void SetFrontEnd(FrontEnd* front_end) { front_end_ = front_end; }
  FrontEnd& Ui() const { return *front_end_; }
  void ProcessPendingEvents() const { front_end_->ProcessPendingEvents(); }
  // For loops over every record and waits on the network: lets pending events run when
  // `interval` has passed since they last did here, so that the event loop's own cost
  // does not count a hundred thousand times while the window still answers within the
  // interval.
  void ProcessPendingEventsWhenDue(std::chrono::milliseconds interval = kEventInterval);
  static constexpr std::chrono::milliseconds kEventInterval{10};

 private:
  std::vector<std::string> texts_;
  std::vector<std::string> memo_;
  bool manual_start_visible_ = true;
  bool auto_close_ = false;
  int32_t tick_counter_ = 0;
  WindowObserver* observer_ = nullptr;
  FrontEnd* front_end_;
  std::chrono::steady_clock::time_point last_events_{};
};

}  // namespace kalvex
