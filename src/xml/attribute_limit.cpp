#include "xml/attribute_limit.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/code_page.h"
#include "platform/unicode_case.h"

namespace kalvex {

namespace {

constexpr size_t kNameBytesKept = 100;
constexpr uint32_t kReplacement = 0xFFFD;

// A byte that can start an element name: a letter, "_", ":" or a byte of a character
// beyond ASCII.
bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

// EBCDIC (code page 037) to ASCII, for the characters markup is made of: letters,
// digits and the punctuation the scan looks at. 0 for any other character.
std::array<char, 256> EbcdicTable() {
  std::array<char, 256> table{};
  const auto range = [&](unsigned first, unsigned last, char from) {
    for (unsigned b = first; b <= last; ++b) table[b] = static_cast<char>(from + (b - first));
  };
  range(0x81, 0x89, 'a');
  range(0x91, 0x99, 'j');
  range(0xA2, 0xA9, 's');
  range(0xC1, 0xC9, 'A');
  range(0xD1, 0xD9, 'J');
  range(0xE2, 0xE9, 'S');
  range(0xF0, 0xF9, '0');
  const std::pair<unsigned, char> marks[] = {
      {0x05, '\t'}, {0x0D, '\r'}, {0x25, '\n'}, {0x40, ' '}, {0x4B, '.'}, {0x4C, '<'},
      {0x5A, '!'},  {0x60, '-'},  {0x61, '/'},  {0x6D, '_'}, {0x6E, '>'}, {0x6F, '?'},
      {0x7A, ':'},  {0x7D, '\''}, {0x7E, '='},  {0x7F, '"'}, {0xBA, '['}, {0xBB, ']'}};
  for (const auto& [byte, ascii] : marks) table[byte] = ascii;
  return table;
}

}  // namespace

bool AttributeLimit::Feed(std::string_view bytes) {
  if (exceeded_) return false;
  if (units_ == Units::kUnknown) {
    if (!detect_) {
      units_ = Units::kBytes;
    } else {
      // The encoding shows in the first four bytes.
      head_.append(bytes);
      if (head_.size() < 4) return true;
      Detect(head_);
      const std::string head = std::move(head_);
      head_.clear();
      return Feed(head);
    }
  }
  if (units_ == Units::kBytes) return Scan(bytes);
  Decode(bytes);
  return Scan(decoded_);
}

void AttributeLimit::Detect(std::string_view head) {
  const auto starts = [&](std::string_view mark) { return head.starts_with(mark); };
  using namespace std::string_view_literals;
  if (starts("\0\0\0<"sv))
    units_ = Units::kUcs4Be;
  else if (starts("<\0\0\0"sv))
    units_ = Units::kUcs4Le;
  else if (starts("\x4C\x6F\xA7\x94"sv))
    units_ = Units::kEbcdic;
  else if (starts("<\0?\0"sv) || starts("\xFF\xFE"sv))
    units_ = Units::kUtf16Le;
  else if (starts("\0<\0?"sv) || starts("\xFE\xFF"sv))
    units_ = Units::kUtf16Be;
  else
    units_ = Units::kBytes;
}

void AttributeLimit::AppendCodePoint(uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = kReplacement;
  if (cp < 0x80) {
    decoded_.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    decoded_.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    decoded_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    decoded_.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    decoded_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    decoded_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    decoded_.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    decoded_.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    decoded_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    decoded_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AttributeLimit::Decode(std::string_view bytes) {
  decoded_.clear();
  if (units_ == Units::kEbcdic) {
    static const std::array<char, 256> table = EbcdicTable();
    for (char byte : bytes) {
      const char ascii = table[static_cast<unsigned char>(byte)];
      if (ascii != 0)
        decoded_.push_back(ascii);
      else
        AppendCodePoint(kReplacement);  // a character all the same: one column, a name's
    }
    return;
  }
  const bool wide16 = units_ == Units::kUtf16Le || units_ == Units::kUtf16Be;
  const bool little = units_ == Units::kUtf16Le || units_ == Units::kUcs4Le;
  const size_t width = wide16 ? 2 : 4;
  const auto unit = [&](const char* p) {
    uint32_t value = 0;
    for (size_t k = 0; k < width; ++k) {
      const auto byte = static_cast<unsigned char>(p[little ? width - 1 - k : k]);
      value = (value << 8) | byte;
    }
    if (!wide16) {
      AppendCodePoint(value);
    } else if (value >= 0xD800 && value < 0xDC00) {
      if (high_surrogate_ != 0) AppendCodePoint(kReplacement);
      high_surrogate_ = value;
    } else if (value >= 0xDC00 && value < 0xE000) {
      AppendCodePoint(high_surrogate_ == 0
                          ? kReplacement
                          : 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (value - 0xDC00));
      high_surrogate_ = 0;
    } else {
      if (high_surrogate_ != 0) AppendCodePoint(kReplacement);
      high_surrogate_ = 0;
      AppendCodePoint(value);
    }
  };
  size_t at = 0;
  if (!pending_.empty()) {
    while (pending_.size() < width && at < bytes.size()) pending_.push_back(bytes[at++]);
    if (pending_.size() < width) return;
    unit(pending_.data());
    pending_.clear();
  }
  for (; at + width <= bytes.size(); at += width) unit(bytes.data() + at);
  pending_.assign(bytes.substr(at));
}

namespace {

// Counts over a whole piece, eight bytes at a time: every byte of the document goes
// through them. In a word, a lane's top bit is set where the lane holds the byte counted.
constexpr uint64_t kLowBits = 0x0101010101010101;
constexpr uint64_t kHighBits = 0x8080808080808080;

template <typename Lanes, typename Byte>
size_t CountBytes(std::string_view text, Lanes lanes, Byte byte) {
  size_t count = 0;
  size_t at = 0;
  while (at + 8 <= text.size()) {
    // Up to 255 words summed lane by lane, then the eight lanes added up.
    uint64_t sums = 0;
    for (int words = 0; words < 255 && at + 8 <= text.size(); ++words, at += 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + at, 8);
      sums += lanes(word) >> 7;
    }
    sums = (sums & 0x00FF00FF00FF00FF) + ((sums >> 8) & 0x00FF00FF00FF00FF);
    count += static_cast<size_t>((sums * 0x0001000100010001) >> 48);
  }
  for (; at < text.size(); ++at) count += byte(static_cast<unsigned char>(text[at])) ? 1 : 0;
  return count;
}

size_t LineEnds(std::string_view text) {
  return CountBytes(
      text,
      [](uint64_t word) {
        const uint64_t x = word ^ (kLowBits * '\n');  // zero lanes where the byte is LF
        return ~(((x & ~kHighBits) + ~kHighBits) | x) & kHighBits;
      },
      [](unsigned char c) { return c == '\n'; });
}

size_t CodePoints(std::string_view text) {
  const size_t continuations = CountBytes(
      text, [](uint64_t word) { return word & ~(word << 1) & kHighBits; },  // 10xxxxxx
      [](unsigned char c) { return (c & 0xC0) == 0x80; });
  return text.size() - continuations;
}

// The place (line, column) `text` ends at when it starts at (line, column).
void Advance(std::string_view text, int32_t* line, int32_t* column) {
  const size_t last_line_end = text.rfind('\n');
  if (last_line_end != std::string_view::npos) {
    *line += static_cast<int32_t>(LineEnds(text));
    *column = 1;
    text.remove_prefix(last_line_end + 1);
  }
  *column += static_cast<int32_t>(CodePoints(text));
}

// Position of the first byte of text from `at` that is one of `stops`, or text.size().
size_t FindFirst(std::string_view text, size_t at, char stop) {
  const void* found = std::memchr(text.data() + at, stop, text.size() - at);
  return found == nullptr ? text.size()
                          : static_cast<size_t>(static_cast<const char*>(found) - text.data());
}

}  // namespace

void AttributeLimit::NoteTagPlace(std::string_view text) {
  if (!tag_in_piece_) return;
  tag_line_ = line_;
  tag_column_ = column_;
  Advance(text.substr(0, tag_at_), &tag_line_, &tag_column_);
  tag_in_piece_ = false;
}

bool AttributeLimit::Scan(std::string_view text) {
  // The states a document spends its bytes in are handled here, a run at a time; the
  // others (declarations, comments, sections, instructions) a byte at a time by Step.
  const size_t size = text.size();
  size_t at = 0;
  while (at < size) {
    switch (state_) {
      case State::kText:
        // Text is most of a document: it goes by the run up to the next "<".
        at = FindFirst(text, at, '<');
        if (at == size) break;
        tag_at_ = at++;
        tag_in_piece_ = true;
        state_ = State::kLess;
        break;
      case State::kLess: {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '/') {
          ++at;
          state_ = State::kEndTag;
        } else if (IsNameStart(c) && c != '<') {
          name_.clear();
          count_ = 0;
          state_ = State::kName;
        } else {
          Step(c, at++);
        }
        break;
      }
      case State::kEndTag:
        // An end tag is short: a loop finds its ">" sooner than a call would.
        while (at < size && text[at] != '>') ++at;
        if (at == size) break;
        ++at;
        state_ = State::kText;
        break;
      case State::kName: {
        static constexpr std::array<bool, 256> kEndsName = [] {
          std::array<bool, 256> ends{};
          for (unsigned char c : {' ', '\t', '\r', '\n', '/', '>', '=', '"', '\''}) ends[c] = true;
          return ends;
        }();
        size_t end = at;
        while (end < size && !kEndsName[static_cast<unsigned char>(text[end])]) ++end;
        const std::string_view more = text.substr(at, end - at);
        if (name_.size() < kNameBytesKept) {
          size_t keep = std::min(more.size(), kNameBytesKept - name_.size());
          while (keep < more.size() && IsContinuationByte(more[keep])) ++keep;  // whole characters
          name_.append(more.substr(0, keep));
        }
        at = end;
        if (at < size) state_ = State::kAttributes;
        break;
      }
      case State::kAttributes:
        for (; at < size && state_ == State::kAttributes; ++at) {
          const auto c = static_cast<unsigned char>(text[at]);
          if (c == '"' || c == '\'') {
            quote_ = static_cast<char>(c);
            state_ = State::kQuoted;
          } else if (c == '>') {
            state_ = State::kText;
          } else if (c == '=' && ++count_ > limit_) {
            NoteTagPlace(text);
            exceeded_ = true;
            if (!IsValidUtf8(name_)) name_ = Utf8OrWindows1252(name_);
            return false;
          }
        }
        break;
      case State::kQuoted:
        at = FindFirst(text, at, quote_);
        if (at == size) break;
        ++at;
        state_ = State::kAttributes;
        break;
      default:
        at = Step(static_cast<unsigned char>(text[at]), at);
        break;
    }
  }
  // A start tag that runs on into the next piece: its place is known from this one.
  if (state_ == State::kLess || state_ == State::kName || state_ == State::kAttributes ||
      state_ == State::kQuoted)
    NoteTagPlace(text);
  tag_in_piece_ = false;
  Advance(text, &line_, &column_);
  return true;
}

size_t AttributeLimit::Step(unsigned char c, size_t at) {
  switch (state_) {
    case State::kLess:
      // What kLess leaves here: "<" again, an instruction, "<!", or no markup at all.
      if (c == '<') {
        tag_at_ = at;
        tag_in_piece_ = true;
      } else if (c == '?') {
        after_ = State::kText;
        run_ = 0;
        state_ = State::kPi;
      } else if (c == '!') {
        bang_.clear();
        state_ = State::kBang;
      } else {
        state_ = State::kText;
      }
      break;
    case State::kBang:
    case State::kSubsetLess: {
      // "<!--" opens a comment, "<![CDATA[" a section (not in the subset), "<?" an
      // instruction in the subset; anything else is a declaration.
      const bool subset = state_ == State::kSubsetLess;
      if (subset && bang_.empty() && c == '?') {
        after_ = State::kSubset;
        run_ = 0;
        state_ = State::kPi;
        break;
      }
      bang_.push_back(static_cast<char>(c));
      if (subset && bang_ == "!") break;
      const std::string_view body = subset ? std::string_view(bang_).substr(1) : bang_;
      if (subset && bang_.front() != '!') {
        quote_ = 0;
        state_ = State::kSubsetMarkup;
        return at;  // the declaration's own first character, again
      } else if (body == "--") {
        after_ = subset ? State::kSubset : State::kText;
        run_ = 0;
        state_ = State::kComment;
      } else if (!subset && body == "[CDATA[") {
        run_ = 0;
        state_ = State::kCData;
      } else if (!std::string_view("--").starts_with(body) &&
                 (subset || !std::string_view("[CDATA[").starts_with(body))) {
        quote_ = 0;
        state_ = subset ? State::kSubsetMarkup : State::kDoctype;
        return at;
      }
      break;
    }
    case State::kComment:
      if (c == '-') {
        ++run_;
      } else {
        if (c == '>' && run_ >= 2) state_ = after_;
        run_ = 0;
      }
      break;
    case State::kCData:
      if (c == ']') {
        ++run_;
      } else {
        if (c == '>' && run_ >= 2) state_ = State::kText;
        run_ = 0;
      }
      break;
    case State::kPi:
      if (c == '>' && run_ != 0) state_ = after_;
      run_ = c == '?' ? 1 : 0;
      break;
    case State::kDoctype:
    case State::kSubsetMarkup:
      if (quote_ != 0) {
        if (c == static_cast<unsigned char>(quote_)) quote_ = 0;
      } else if (c == '"' || c == '\'') {
        quote_ = static_cast<char>(c);
      } else if (state_ == State::kDoctype && c == '[') {
        state_ = State::kSubset;
      } else if (c == '>') {
        state_ = state_ == State::kDoctype ? State::kText : State::kSubset;
      }
      break;
    case State::kSubset:
      if (c == ']') {
        quote_ = 0;
        state_ = State::kDoctype;
      } else if (c == '<') {
        bang_.clear();
        state_ = State::kSubsetLess;
      }
      break;
    case State::kText:
    case State::kEndTag:
    case State::kQuoted:
    case State::kName:
    case State::kAttributes:
      break;
  }
  return at + 1;
}

}  // namespace kalvex
