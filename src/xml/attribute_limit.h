// The bound on the attributes of one element. libxml2 checks a start tag's attributes
// for duplicates pair by pair: an element with a hundred thousand attributes costs
// minutes of parse, and no vehicle document needs more than a few per element. So the
// bytes of a document go through this scan on their way to the parser, which stops the
// parse at an element with more than kMaxAttributesPerElement attributes before the
// parser has seen them.
//
// The scan follows the markup, not the grammar: it counts the "=" of each start tag
// outside quoted values, and skips text, end tags, comments, CDATA sections, processing
// instructions and a document type declaration with its internal subset. It reads the
// encodings libxml2 detects from the first bytes (UTF-8 and the 8-bit encodings, UTF-16
// and UCS-4 in either byte order, EBCDIC read as code page 037) and counts lines and
// columns as the parser does: a line ends at LF, columns count characters from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalvex {

inline constexpr int32_t kMaxAttributesPerElement = 256;

class AttributeLimit {
 public:
  // detect_encoding: the bytes are a file's, whose encoding the first bytes tell; else
  // they are UTF-8 text.
  explicit AttributeLimit(bool detect_encoding, int32_t limit = kMaxAttributesPerElement)
      : detect_(detect_encoding), limit_(limit) {}

  // Scans the next bytes of the document. False from the element that goes past the
  // limit on: the parse must stop without these bytes.
  bool Feed(std::string_view bytes);
  bool Exceeded() const { return exceeded_; }

  // Once Exceeded, the element that went past the limit: its name (UTF-8, at most about
  // 100 bytes) and the place of its "<".
  const std::string& element() const { return name_; }
  int32_t line() const { return tag_line_; }
  int32_t column() const { return tag_column_; }

 private:
  enum class Units { kUnknown, kBytes, kUtf16Le, kUtf16Be, kUcs4Le, kUcs4Be, kEbcdic };
  enum class State {
    kText,
    kLess,         // after "<"
    kName,         // the element name of a start tag
    kAttributes,   // in a start tag, outside quotes
    kQuoted,       // in a quoted attribute value
    kEndTag,       // in an end tag
    kBang,         // after "<!", telling a comment, a CDATA section and a declaration apart
    kComment,      // up to "-->"
    kCData,        // up to "]]>"
    kPi,           // up to "?>"
    kDoctype,      // a declaration outside its internal subset
    kSubset,       // in the internal subset "[ ... ]"
    kSubsetLess,   // after "<" in the internal subset
    kSubsetMarkup  // a declaration in the internal subset, up to its ">"
  };

  void Detect(std::string_view head);
  // The units of the detected encoding as UTF-8, appended to decoded_.
  void Decode(std::string_view bytes);
  void AppendCodePoint(uint32_t code_point);
  // Scans UTF-8 text; false on going past the limit. Places are worked out only for the
  // start tag being read when a piece ends or the limit is passed, and for the piece's
  // end: the scan itself jumps from one byte that matters to the next.
  bool Scan(std::string_view text);
  // Handles the byte c, at `at` in the piece, in one of the states Scan leaves to it;
  // gives where the scan goes on (`at` again when c starts what the new state reads).
  size_t Step(unsigned char c, size_t at);
  void NoteTagPlace(std::string_view text);

  bool detect_;
  int32_t limit_;
  Units units_ = Units::kUnknown;
  std::string head_;     // first bytes, until the encoding is known
  std::string pending_;  // bytes of a unit cut by the end of a piece
  uint32_t high_surrogate_ = 0;
  std::string decoded_;

  State state_ = State::kText;
  State after_ = State::kText;  // where a comment or instruction of the subset returns
  char quote_ = 0;
  int32_t run_ = 0;  // "-", "]" or "?" just seen, or what of "<!" was matched
  int32_t bracket_depth_ = 0;
  std::string bang_;
  int32_t count_ = 0;
  bool exceeded_ = false;
  std::string name_;
  int32_t line_ = 1;    // at the start of the piece being scanned
  int32_t column_ = 1;  // of the piece's first character
  size_t tag_at_ = 0;   // where in the piece the last "<" stands
  bool tag_in_piece_ = false;
  int32_t tag_line_ = 0;
  int32_t tag_column_ = 0;
};

}  // namespace kalvex
