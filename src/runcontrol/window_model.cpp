#include "runcontrol/window_model.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/unicode_case.h"
#include "runcontrol/config_keys.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

namespace {

NullFrontEnd& DefaultFrontEnd() {
  static NullFrontEnd front_end;
  return front_end;
}

// What the escape of each byte adds to the text: 1 for CR, LF and tab ("\r"), 3 for the
// other C0 controls and DEL ("\xNN"), 0 for the rest; 0xC2 opens a C1 control when the
// next byte is 0x80 to 0x9F, whose two bytes become "\xC2\xNN". Lines may be a whole
// document: both passes go by a table.
constexpr uint8_t kMaybeC1 = 0xFF;
constexpr std::array<uint8_t, 256> kEscapeExtra = [] {
  std::array<uint8_t, 256> extra{};
  for (int c = 0; c < 0x20; ++c) extra[static_cast<size_t>(c)] = 3;
  extra['\r'] = extra['\n'] = extra['\t'] = 1;
  extra[0x7F] = 3;
  extra[0xC2] = kMaybeC1;
  return extra;
}();

bool OpensC1Control(std::string_view text, size_t at) {
  return at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
         static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

// Bytes the escapes of `text` add, 0 when it holds no control character.
size_t EscapeExtra(std::string_view text) {
  size_t extra = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t e = kEscapeExtra[static_cast<unsigned char>(text[i])];
    if (e == 0) continue;
    if (e != kMaybeC1) {
      extra += e;
    } else if (OpensC1Control(text, i)) {
      extra += 6;
      ++i;
    }
  }
  return extra;
}

char* WriteHexEscape(char* out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  *out++ = '\\';
  *out++ = 'x';
  *out++ = kDigits[c >> 4];
  *out++ = kDigits[c & 0xF];
  return out;
}

}  // namespace

bool HoldsControls(std::string_view text) { return EscapeExtra(text) != 0; }

void AppendEscapingControls(std::string& line, std::string_view text) {
  const size_t extra = EscapeExtra(text);
  if (extra == 0) {
    line.append(text);
    return;
  }
  const size_t start = line.size();
  line.resize(start + text.size() + extra);
  char* out = line.data() + start;
  size_t plain = 0;  // start of the run of bytes not yet written
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const uint8_t e = kEscapeExtra[c];
    if (e == 0 || (e == kMaybeC1 && !OpensC1Control(text, i))) continue;
    std::memcpy(out, text.data() + plain, i - plain);
    out += i - plain;
    if (c == '\r' || c == '\n' || c == '\t') {
      *out++ = '\\';
      *out++ = c == '\r' ? 'r' : c == '\n' ? 'n' : 't';
    } else {
      out = WriteHexEscape(out, c);
      if (e == kMaybeC1) out = WriteHexEscape(out, static_cast<unsigned char>(text[++i]));
    }
    plain = i + 1;
  }
  std::memcpy(out, text.data() + plain, text.size() - plain);
}

std::string EscapeControls(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  AppendEscapingControls(line, text);
  return line;
}

std::string EscapeControlsKeepingLines(std::string_view text) {
  std::string shown;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    const bool crlf = end != std::string_view::npos && !line.empty() && line.back() == '\r';
    if (crlf) line.remove_suffix(1);
    AppendEscapingControls(shown, line);
    if (end == std::string_view::npos) return shown;
    shown += crlf ? "\r\n" : "\n";
    start = end + 1;
  }
}

std::string MemoDisplayText(const std::string& line, size_t limit) {
  return ShortenedText(line, limit);
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
