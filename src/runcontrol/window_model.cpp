#include "runcontrol/window_model.h"

#include "platform/unicode_case.h"
#include "runcontrol/config_keys.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

namespace {

NullFrontEnd& DefaultFrontEnd() {
  static NullFrontEnd front_end;
  return front_end;
}

}  // namespace

namespace {

// The byte of text starting at `at` opens a C1 control (U+0080 to U+009F).
bool OpensC1Control(std::string_view text, size_t at) {
  return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
         static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
         static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendHexEscape(std::string& line, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const char escape[] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 0xF]};
  line.append(escape, sizeof escape);
}

}  // namespace

bool HoldsControls(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (IsControl(static_cast<unsigned char>(text[i])) || OpensC1Control(text, i)) return true;
  return false;
}

void AppendEscapingControls(std::string& line, std::string_view text) {
  size_t plain = 0;  // start of the run of bytes not yet appended
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = OpensC1Control(text, i);
    if (!IsControl(c) && !c1) continue;
    line.append(text.substr(plain, i - plain));
    if (c == '\r') {
      line.append("\\r");
    } else if (c == '\n') {
      line.append("\\n");
    } else if (c == '\t') {
      line.append("\\t");
    } else {
      AppendHexEscape(line, c);
      if (c1) AppendHexEscape(line, static_cast<unsigned char>(text[++i]));
    }
    plain = i + 1;
  }
  line.append(text.substr(plain));
}

std::string EscapeControls(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  AppendEscapingControls(line, text);
  return line;
}

std::string MemoDisplayText(const std::string& line, size_t limit) {
  const size_t characters = CodePointCount(line);
  if (characters <= limit) return line;
  return runcontrol_text::Shortened(line.substr(0, ByteOfCodePoint(line, limit)), characters);
}

WindowModel::WindowModel()
    : texts_(static_cast<size_t>(WindowField::kCount)), front_end_(&DefaultFrontEnd()) {
  // Design-time contents. The server fields hold placeholders that every exporter
  // overwrites from the configuration before any connection is made.
  texts_[static_cast<size_t>(WindowField::kCaption)] = "Form1";
  texts_[static_cast<size_t>(WindowField::kGroupBox1)] = "Connexion Serveur Pixtrove : ";
  texts_[static_cast<size_t>(WindowField::kBoxServer)] = "Connexion Serveur xxx : ";
  texts_[static_cast<size_t>(WindowField::kParamServeurPixtrove)] = config::kPresetHost;
  texts_[static_cast<size_t>(WindowField::kParamUserPixtrove)] = config::kPresetImageUser;
  texts_[static_cast<size_t>(WindowField::kParamPasswordPixtrove)] = config::kPresetImagePassword;
  texts_[static_cast<size_t>(WindowField::kParamRepertPixtrove)] = "www/pixtrove";
  texts_[static_cast<size_t>(WindowField::kParamServeur)] = config::kPresetHost;
  texts_[static_cast<size_t>(WindowField::kParamUser)] = config::kPresetPortalUser;
  texts_[static_cast<size_t>(WindowField::kParamPassword)] = config::kPresetPortalPassword;
  texts_[static_cast<size_t>(WindowField::kLabel1)] = "Label1";
  texts_[static_cast<size_t>(WindowField::kLabel2)] = "Label2";
}

const std::string& WindowModel::Text(WindowField field) const {
  return texts_[static_cast<size_t>(field)];
}

void WindowModel::SetText(WindowField field, const std::string& text) {
  const bool shown_only = field == WindowField::kCaption || field == WindowField::kGroupBox1 ||
                          field == WindowField::kBoxServer || field == WindowField::kLabel1 ||
                          field == WindowField::kLabel2;
  if (shown_only && HoldsControls(text)) {
    SetText(field, EscapeControls(text));
    return;
  }
  std::string& slot = texts_[static_cast<size_t>(field)];
  if (slot == text) return;
  slot = text;
  if (observer_) observer_->TextChanged(field, slot);
}

void WindowModel::AddMemoLine(std::string line) {
  if (HoldsControls(line)) line = EscapeControls(line);
  memo_.push_back(std::move(line));
  if (observer_) observer_->MemoLineAdded(memo_.back());
}

void WindowModel::ClearMemo() {
  memo_.clear();
  if (observer_) observer_->MemoCleared();
}

void WindowModel::SetManualStartVisible(bool visible) {
  if (manual_start_visible_ == visible) return;
  manual_start_visible_ = visible;
  if (observer_) observer_->ControlsVisibilityChanged(visible);
}

void WindowModel::Timer1Timer() {
  if (auto_close_) ++tick_counter_;
  if (tick_counter_ >= 30) front_end_->RequestClose();
  front_end_->ProcessPendingEvents();
}

void WindowModel::ProcessPendingEventsWhenDue(std::chrono::milliseconds interval) {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_events_ < interval) return;
  front_end_->ProcessPendingEvents();
  last_events_ = std::chrono::steady_clock::now();
}

}  // namespace kalvex
