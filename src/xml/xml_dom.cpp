#include "xml/xml_dom.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <sstream>
#include <unordered_set>

#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/unicode_case.h"
#include "xml/attribute_limit.h"
#include "xml/single_byte_encoding.h"
#include "xml/xml_texts.h"

namespace kalvex {

namespace {

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
std::string S(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : std::string(); }

// Strings libxml2 allocates for us.
struct XmlCharDeleter {
  void operator()(xmlChar* s) const { xmlFree(s); }
};
using XmlString = std::unique_ptr<xmlChar, XmlCharDeleter>;

struct ParserCtxtDeleter {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct XPathObjectDeleter {
  void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

// Short texts are kept inside their nodes (XML_PARSE_COMPACT), as xmllint does.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
constexpr int kSaveOptions = XML_SAVE_NO_EMPTY;

// The options of a parse that drops blank text. The parser then makes no node of white
// space it can tell stands between markup (an indented document's indentation, most
// of its text nodes); it keeps white space under xml:space="preserve" and wherever it
// is unsure, and DropBlankText removes what it kept outside xml:space="preserve".
constexpr int ParseOptions(bool drop_blank_text) {
  return drop_blank_text ? kParseOptions | XML_PARSE_NOBLANKS : kParseOptions;
}

// Texts up to this length that the cursor writes into a parsed document are kept once
// in the document's dictionary, as the parser keeps the short texts it reads, instead of
// in an allocation of their own: an export writes the same few values ("true", "false",
// codes) into hundreds of thousands of elements and attributes.
constexpr size_t kSharedTextMax = 15;

// Moves the content of a text node just made into its document's dictionary when it is
// short and the document has one; the node is otherwise unchanged.
void ShareShortText(xmlNode* text) {
  if (text == nullptr || text->type != XML_TEXT_NODE || text->doc == nullptr ||
      text->doc->dict == nullptr || text->content == nullptr ||
      text->content == reinterpret_cast<xmlChar*>(&text->properties) ||
      xmlDictOwns(text->doc->dict, text->content) != 0)
    return;
  const int length = xmlStrlen(text->content);
  if (length > static_cast<int>(kSharedTextMax)) return;
  const xmlChar* shared = xmlDictLookup(text->doc->dict, text->content, length);
  if (shared == nullptr) return;  // no room: the node keeps its own copy
  xmlFree(text->content);
  text->content = const_cast<xmlChar*>(shared);
}

std::string TrimLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

// One diagnostic of libxml2, as it reported it.
struct Diagnostic {
  int code = 0;
  int level = 0;
  int line = 0;
  int column = 0;
  std::string message;
};

// Collects what libxml2 reports while it lives instead of letting it print to stderr.
class DiagnosticCapture {
 public:
  DiagnosticCapture()
      : old_structured_(xmlStructuredError),
        old_structured_ctx_(xmlStructuredErrorContext),
        old_generic_(xmlGenericError),
        old_generic_ctx_(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(this, &DiagnosticCapture::OnStructured);
    xmlSetGenericErrorFunc(this, &DiagnosticCapture::OnGeneric);
  }
  ~DiagnosticCapture() {
    xmlSetStructuredErrorFunc(old_structured_ctx_, old_structured_);
    xmlSetGenericErrorFunc(old_generic_ctx_, old_generic_);
  }
  DiagnosticCapture(const DiagnosticCapture&) = delete;
  DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

  static void OnStructured(void* self, xmlError* error) {
    if (error == nullptr) return;
    Diagnostic d;
    d.code = error->code;
    d.level = error->level;
    d.line = error->line;
    d.column = error->int2;
    d.message = TrimLineEnd(S(reinterpret_cast<const xmlChar*>(error->message)));
    static_cast<DiagnosticCapture*>(self)->diagnostics_.push_back(std::move(d));
  }
  static void OnGeneric(void* self, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    static_cast<DiagnosticCapture*>(self)->generic_ += text;
  }

  // The first error (or, failing that, the first warning).
  const Diagnostic* First() const {
    for (const Diagnostic& d : diagnostics_)
      if (d.level >= XML_ERR_ERROR) return &d;
    return diagnostics_.empty() ? nullptr : &diagnostics_.front();
  }
  std::string Text() const {
    std::string text;
    for (const Diagnostic& d : diagnostics_) {
      if (!text.empty()) text += "\r\n";
      text += d.message;
    }
    std::string generic = TrimLineEnd(generic_);
    if (!generic.empty()) {
      if (!text.empty()) text += "\r\n";
      text += generic;
    }
    return text;
  }

 private:
  xmlStructuredErrorFunc old_structured_;
  void* old_structured_ctx_;
  xmlGenericErrorFunc old_generic_;
  void* old_generic_ctx_;
  std::vector<Diagnostic> diagnostics_;
  std::string generic_;
};

// The text of line `line` (1-based) of `source`, without its line end.
std::string SourceLine(const std::string& source, int line) {
  if (line < 1) return {};
  size_t start = 0;
  for (int i = 1; i < line; ++i) {
    size_t nl = source.find('\n', start);
    if (nl == std::string::npos) return {};
    start = nl + 1;
  }
  size_t end = source.find('\n', start);
  std::string text =
      source.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

std::string DeclaredEncoding(const std::string& text);

// The offending line as UTF-8 text: a file's line is decoded as its declaration says
// (Windows-1252 when that fails), so that the message never carries stray bytes.
std::string SourceLineText(const std::string& source, int line) {
  // A UTF-16 file is read as text first: its line ends are two bytes wide.
  const char* wide = nullptr;
  if (source.compare(0, 2, "\xFF\xFE") == 0 || source.compare(0, 2, "\xFE\xFF") == 0)
    wide = "UTF-16";
  else if (source.compare(0, 4, std::string("<\0?\0", 4)) == 0)
    wide = "UTF-16LE";
  else if (source.compare(0, 4, std::string("\0<\0?", 4)) == 0)
    wide = "UTF-16BE";
  if (wide != nullptr) {
    try {
      return SourceLine(ToUtf8(source, wide), line);
    } catch (const Error&) {
      return {};
    }
  }
  std::string text = SourceLine(source, line);
  if (IsValidUtf8(text)) return text;
  const std::string declared = DeclaredEncoding(source);
  if (!declared.empty()) {
    try {
      return ToUtf8(text, declared.c_str());
    } catch (const Error&) {
      // An encoding the converters do not know: read it as the ANSI code page.
    }
  }
  return Utf8OrWindows1252(text);
}

// Start of the code point that holds byte `at` of UTF-8 text.
size_t CodePointStart(const std::string& text, size_t at) {
  while (at > 0 && at < text.size() && IsContinuationByte(text[at])) --at;
  return at;
}

// The faulty line as a message quotes it: whole when it is short, otherwise the
// kQuotedLineLength characters around the error's column, cut ends marked with "...".
// A document on one long line would else fill the message with the whole document.
constexpr size_t kQuotedLineLength = 200;

std::string QuotedLine(const std::string& line, int column) {
  const size_t length = CodePointCount(line);
  if (length <= kQuotedLineLength) return line;
  // Mostly what leads up to the fault, some of what follows it.
  const size_t at = column > 1 ? static_cast<size_t>(column - 1) : 0;
  size_t first = at > kQuotedLineLength * 3 / 4 ? at - kQuotedLineLength * 3 / 4 : 0;
  if (first + kQuotedLineLength > length) first = length - kQuotedLineLength;
  const size_t begin = CodePointStart(line, ByteOfCodePoint(line, first));
  const size_t end = ByteOfCodePoint(line, first + kQuotedLineLength);
  std::string quoted = first > 0 ? "..." : "";
  quoted += line.substr(begin, end - begin);
  if (first + kQuotedLineLength < length) quoted += "...";
  return quoted;
}

[[noreturn]] void RaiseParseError(const Diagnostic& d, const std::string& source_name,
                                  const std::string& source_bytes) {
  throw XMLParseException(d.code, d.line, d.column, source_name,
                          QuotedLine(SourceLineText(source_bytes, d.line), d.column), d.message);
}

// Where the parser met a document type declaration, when it met one.
struct DoctypeWatch {
  bool seen = false;
  int line = 0;
  int column = 0;
};

// The parser's handler for "<!DOCTYPE": notes the place and stops the parse there, so
// that no declaration of the document type (entities included) is ever read.
void RefuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* ctxt = static_cast<xmlParserCtxt*>(context);
  auto* watch = static_cast<DoctypeWatch*>(ctxt->_private);
  if (watch != nullptr && !watch->seen) {
    watch->seen = true;
    watch->line = ctxt->input != nullptr ? ctxt->input->line : 0;
    watch->column = ctxt->input != nullptr ? ctxt->input->col : 0;
  }
  xmlStopParser(ctxt);
}

// The bytes `read` gives (a callable like a libxml2 read callback), handed to the parser
// through the attribute limit: from the piece that goes past it on, the parser is told
// the input has ended, so it never sees more than the limit of an element's attributes.
// (xmlStopParser cannot be called here: it frees the input buffer being filled.)
template <typename Read>
struct LimitedInput {
  Read read;
  AttributeLimit* limit;

  static int Callback(void* self, char* buffer, int length) {
    auto* in = static_cast<LimitedInput*>(self);
    if (in->limit->Exceeded()) return 0;
    const int n = in->read(buffer, length);
    if (n > 0 && !in->limit->Feed(std::string_view(buffer, static_cast<size_t>(n)))) return 0;
    return n;
  }
};

// Runs `parse` (a read of the context through `limit`) with the rules on document type
// declarations and attributes in force: a declaration, unless accepted, stops the parse,
// and so does an element past the attribute limit; the first comes back in `refused`
// (code XML_ERR_USER_STOP at its place, no document).
template <typename Parse>
XmlDocHandle ParseWithRules(xmlParserCtxt* ctxt, bool accept_doctype, const AttributeLimit& limit,
                            Diagnostic* refused, Parse parse) {
  DoctypeWatch watch;
  if (!accept_doctype) {
    ctxt->_private = &watch;
    ctxt->sax->internalSubset = &RefuseDoctype;
  }
  XmlDocHandle doc(parse());
  ctxt->_private = nullptr;
  if (watch.seen) {
    refused->code = XML_ERR_USER_STOP;
    refused->line = watch.line;
    refused->column = watch.column;
    refused->message = xml_text::kDoctypeRefused;
    return nullptr;
  }
  if (limit.Exceeded()) {
    refused->code = XML_ERR_USER_STOP;
    refused->line = limit.line();
    refused->column = limit.column();
    refused->message = xml_text::TooManyAttributes(limit.element(), kMaxAttributesPerElement);
    return nullptr;
  }
  return doc;
}

bool IsBlank(const xmlChar* s) {
  if (s == nullptr) return true;
  for (; *s; ++s)
    if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
  return true;
}

// Text nodes that hold only white space between markup are not part of the document
// (except under xml:space="preserve"): true for such a child of `parent`.
bool IsBlankText(xmlNode* parent, const xmlNode* child) {
  return child->type == XML_TEXT_NODE && IsBlank(child->content) &&
         xmlNodeGetSpacePreserve(parent) != 1;
}

void DropBlankText(xmlNode* parent) {
  xmlNode* child = parent->children;
  while (child != nullptr) {
    xmlNode* next = child->next;
    if (IsBlankText(parent, child)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    } else if (child->type == XML_ELEMENT_NODE) {
      DropBlankText(child);
    }
    child = next;
  }
}

// The encoding named by the declaration at the head of UTF-8 text, "" when none.
std::string DeclaredEncoding(const std::string& text) {
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (text.compare(start, 5, "<?xml") != 0) return {};
  size_t end = text.find("?>", start);
  if (end == std::string::npos) return {};
  std::string decl = text.substr(start, end - start);
  size_t at = decl.find("encoding");
  if (at == std::string::npos) return {};
  at += 8;
  while (at < decl.size() && (decl[at] == ' ' || decl[at] == '\t' || decl[at] == '\r' ||
                              decl[at] == '\n' || decl[at] == '='))
    ++at;
  if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return {};
  char quote = decl[at];
  size_t close = decl.find(quote, at + 1);
  if (close == std::string::npos) return {};
  return decl.substr(at + 1, close - at - 1);
}

bool HasDeclaration(const xmlDoc* doc) { return doc->standalone != -1; }

std::string DeclarationText(const xmlDoc* doc) {
  std::string decl = "<?xml version=\"" + (doc->version ? S(doc->version) : "1.0") + "\"";
  if (doc->standalone == 1) decl += " standalone=\"yes\"";
  if (doc->standalone == 0) decl += " standalone=\"no\"";
  return decl + "?>";
}

// What heads the serialisation of a document: its declaration and a line end, or
// nothing when it has none.
std::string DeclarationAndLineEnd(const xmlDoc* doc) {
  return HasDeclaration(doc) ? DeclarationText(doc) + "\n" : std::string();
}

// Where a save context's bytes go: appended to a text as libxml2 writes them, or
// gathered into pieces of kPieceSize bytes handed to a sink. A failure of the sink is
// kept and raised again once libxml2 has given up.
class SaveOutput {
 public:
  explicit SaveOutput(std::string& text) : text_(&text) {}
  explicit SaveOutput(const xmldom::ByteSink& sink) : sink_(&sink) { piece_.reserve(kPieceSize); }

  static int Write(void* self, const char* buffer, int length) {
    return static_cast<SaveOutput*>(self)->Take(
               std::string_view(buffer, static_cast<size_t>(length)))
               ? length
               : -1;
  }
  // Hands on what is left; false when the sink failed.
  bool Flush() {
    if (sink_ == nullptr || failure_) return !failure_;
    return Pass();
  }
  void RaiseSinkFailure() const {
    if (failure_) std::rethrow_exception(failure_);
  }
  // Bytes of our own (a declaration) ahead of the library's; a failure of the sink
  // comes out where the library's would.
  void Put(std::string_view bytes) { Take(bytes); }

 private:
  static constexpr size_t kPieceSize = size_t{1} << 20;

  bool Take(std::string_view bytes) {
    if (text_ != nullptr) {
      text_->append(bytes);
      return true;
    }
    if (failure_) return false;
    piece_.append(bytes);
    return piece_.size() < kPieceSize || Pass();
  }
  bool Pass() {
    try {
      if (!piece_.empty()) (*sink_)(piece_);
      piece_.clear();
      return true;
    } catch (...) {
      failure_ = std::current_exception();
      return false;
    }
  }

  std::string* text_ = nullptr;
  const xmldom::ByteSink* sink_ = nullptr;
  std::string piece_;
  std::exception_ptr failure_;
};

// Serialises through a save context writing to `out`; `dump` writes into the context.
template <typename Dump>
void SaveInto(SaveOutput& out, const char* encoding, int options, Dump dump) {
  xmlSaveCtxt* ctxt = xmlSaveToIO(&SaveOutput::Write, nullptr, &out, encoding, options);
  if (ctxt == nullptr) throw XMLException(xml_text::UnsupportedEncoding(encoding ? encoding : ""));
  DiagnosticCapture capture;
  long rc = dump(ctxt);
  int closed = xmlSaveClose(ctxt);
  const bool flushed = rc >= 0 && closed >= 0 && out.Flush();
  out.RaiseSinkFailure();
  if (!flushed) {
    std::string detail = capture.Text();
    throw XMLException(xml_text::CannotSerialise(encoding ? encoding : "", detail));
  }
}

template <typename Dump>
void SaveInto(std::string& text, const char* encoding, int options, Dump dump) {
  SaveOutput out(text);
  SaveInto(out, encoding, options, dump);
}

// Room for a serialisation of about `expected_size` bytes, so that the text is not
// copied as it grows. Room that is never written costs no memory.
void ReserveFor(std::string& text, size_t expected_size) {
  if (expected_size > 0) text.reserve(text.size() + expected_size + expected_size / 8 + 4096);
}

std::string XPathReason(const DiagnosticCapture& capture, xmlXPathContext* ctx) {
  std::string reason = capture.Text();
  if (reason.empty() && ctx->lastError.message) reason = TrimLineEnd(ctx->lastError.message);
  if (reason.empty()) reason = xml_text::kInvalidExpression;
  return reason;
}

void OnXPathError(void* capture, xmlError* error) {
  DiagnosticCapture::OnStructured(capture, error);
}

bool CanHoldChildren(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE ||
         node->type == XML_DOCUMENT_FRAG_NODE;
}

}  // namespace

// ---------------------------------------------------------------------------------------

XMLDOMDocument::XMLDOMDocument() : doc_(xmldom::NewEmptyDocument()) {}

XMLDOMDocument::~XMLDOMDocument() {
  xpath_.reset();
  FreeParked();
}

namespace {

void FreeUnlinked(xmlNode* node) {
  if (node->type == XML_ATTRIBUTE_NODE)
    xmlFreeProp(reinterpret_cast<xmlAttr*>(node));
  else
    xmlFreeNode(node);
}

}  // namespace

void XMLDOMDocument::FreeParked() {
  // Parked nodes go before the document whose dictionary holds their names.
  for (auto it = parked_.rbegin(); it != parked_.rend(); ++it) FreeUnlinked(*it);
  parked_.clear();
}

void XMLDOMDocument::ReplaceContent(XmlDocHandle parsed) {
  RenewContent();
  doc_ = std::move(parsed);
}

void XMLDOMDocument::RenewContent() {
  xpath_.reset();
  FreeParked();
  ++epoch_;
  ++generation_;
}

void XMLDOMDocument::Park(xmlNode* node) {
  xmlUnlinkNode(node);
  parked_.push_back(node);
  ++generation_;
}

bool XMLDOMDocument::Contains(xmlNode* node) const {
  if (node == nullptr || node->type == XML_NAMESPACE_DECL) return false;
  while (node->parent != nullptr) node = node->parent;
  return node == doc_node();
}

void XMLDOMDocument::set_namespaces(std::vector<std::pair<std::string, std::string>> ns) {
  namespaces_ = std::move(ns);
  xpath_.reset();
}

xmlXPathContext* XMLDOMDocument::XPathContext() {
  if (xpath_) return xpath_.get();
  std::unique_ptr<xmlXPathContext, XPathContextDeleter> ctx(xmlXPathNewContext(doc_.get()));
  if (!ctx) throw XMLException(xml_text::OutOfMemory("créer un contexte XPath"));
  for (const auto& [prefix, uri] : namespaces_)
    if (xmlXPathRegisterNs(ctx.get(), X(prefix), X(uri)) != 0)
      throw XMLException(xml_text::NamespacePrefixRefused(prefix));
  // Result objects are recycled between evaluations.
  xmlXPathContextSetCache(ctx.get(), 1, -1, 0);
  xpath_ = std::move(ctx);
  return xpath_.get();
}

namespace xmldom {

std::string ParseErrorMessage(int32_t code, int32_t line, int32_t column, const std::string& source,
                              const std::string& source_text, const std::string& reason) {
  return xml_text::ParseError(code, line, column, source, source_text, reason);
}

namespace {

// A text handed to the parser piece by piece.
struct TextReader {
  std::string_view rest;

  static int Read(void* self, char* buffer, int length) {
    std::string_view& rest = static_cast<TextReader*>(self)->rest;
    const size_t n = std::min(rest.size(), static_cast<size_t>(std::max(length, 0)));
    if (n > 0) std::memcpy(buffer, rest.data(), n);
    rest.remove_prefix(n);
    return static_cast<int>(n);
  }
};

}  // namespace

XmlDocHandle ParseText(const std::string& text, bool drop_blank_text, bool accept_doctype) {
  if (text.size() > static_cast<size_t>(INT_MAX))
    throw XMLParseException(XML_ERR_NO_MEMORY, 0, 0, "", "", xml_text::kTextTooLarge);
  std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw XMLException(xml_text::OutOfMemory("créer un analyseur"));
  DiagnosticCapture capture;
  Diagnostic refused;
  // Read as the parser goes, like a file: the parser never holds a copy of the whole text.
  TextReader reader{text};
  AttributeLimit limit(/*detect_encoding=*/false);
  auto read = [&reader](char* buffer, int length) {
    return TextReader::Read(&reader, buffer, length);
  };
  LimitedInput<decltype(read)> input{read, &limit};
  XmlDocHandle doc = ParseWithRules(ctxt.get(), accept_doctype, limit, &refused, [&] {
    return xmlCtxtReadIO(ctxt.get(), &decltype(input)::Callback, nullptr, &input, nullptr, "UTF-8",
                         ParseOptions(drop_blank_text) | XML_PARSE_IGNORE_ENC);
  });
  if (refused.code != 0) RaiseParseError(refused, "", text);
  if (!doc) {
    const Diagnostic* d = capture.First();
    if (d != nullptr && d->code != 0) RaiseParseError(*d, "", text);
    return nullptr;
  }
  // The text was Unicode already; what its declaration names is what Save will write.
  if (doc->encoding) xmlFree(const_cast<xmlChar*>(doc->encoding));
  doc->encoding = nullptr;
  std::string declared = DeclaredEncoding(text);
  if (!declared.empty()) doc->encoding = xmlStrdup(X(declared));
  if (drop_blank_text) DropBlankText(reinterpret_cast<xmlNode*>(doc.get()));
  return doc;
}

XmlDocHandle ParseText(const std::string& text) { return ParseText(text, true, false); }

namespace {

// Whether the serialiser writes `s` so that the parser reads back the same characters:
// UTF-8 of characters XML allows (no control character but tab, line feed and carriage
// return, no surrogate, no U+FFFE or U+FFFF). Anything else is written as bytes or a
// character reference the parser refuses.
bool ReadsBackAsWritten(const xmlChar* s) {
  if (s == nullptr) return true;
  if (xmlCheckUTF8(s) == 0) return false;
  for (; *s; ++s) {
    if (*s < 0x20 && *s != '\t' && *s != '\n' && *s != '\r') return false;
    if (*s == 0xED && s[1] >= 0xA0) return false;                  // a surrogate
    if (*s == 0xEF && s[1] == 0xBF && s[2] >= 0xBE) return false;  // U+FFFE, U+FFFF
  }
  return true;
}

// Whether a prefixed name is bound, in scope, to the namespace it stands for.
bool PrefixBound(xmlNode* element, const xmlChar* name, const xmlNs* ns) {
  if (ns == nullptr) return xmlStrchr(name, ':') == nullptr;
  return ns->prefix == nullptr || xmlSearchNs(element->doc, element, ns->prefix) == ns;
}

bool ChildrenReparseTheSame(xmlNode* parent) {
  const xmlNode* previous = nullptr;
  for (xmlNode* child = parent->children; child != nullptr; previous = child, child = child->next) {
    switch (child->type) {
      case XML_TEXT_NODE:
        if (child->name == xmlStringTextNoenc) return false;  // written unescaped
        if (previous != nullptr && previous->type == XML_TEXT_NODE) return false;
        if (IsBlankText(parent, child)) return false;
        if (!ReadsBackAsWritten(child->content)) return false;
        break;
      case XML_CDATA_SECTION_NODE:
        // A section holding "]]>" is written as two.
        if (!ReadsBackAsWritten(child->content) || xmlStrstr(child->content, X("]]>")) != nullptr)
          return false;
        break;
      case XML_COMMENT_NODE:
      case XML_PI_NODE:
        if (!ReadsBackAsWritten(child->content)) return false;
        break;
      case XML_ELEMENT_NODE:
        if (!PrefixBound(child, child->name, child->ns)) return false;
        for (xmlAttr* attr = child->properties; attr != nullptr; attr = attr->next) {
          if (!PrefixBound(child, attr->name, attr->ns)) return false;
          for (xmlNode* value = attr->children; value != nullptr; value = value->next)
            if (!ReadsBackAsWritten(value->content)) return false;
        }
        if (!ChildrenReparseTheSame(child)) return false;
        break;
      default:
        return false;  // entity references, declarations: left to the parse
    }
  }
  return true;
}

}  // namespace

bool ReparseGivesSameTree(xmlDoc* doc) {
  return doc->intSubset == nullptr && doc->extSubset == nullptr &&
         ChildrenReparseTheSame(reinterpret_cast<xmlNode*>(doc));
}

void TakeDeclarationOf(xmlDoc* doc, const std::string& text) {
  // The parse of the declaration alone sets what the parse of the whole text would.
  const XmlDocHandle probe = ParseText(LeadingDeclaration(text) + "<r/>");
  if (!probe) throw XMLException(xml_text::OutOfMemory("relire la déclaration"));
  auto replace = [](const xmlChar*& field, const xmlChar* value) {
    if (field != nullptr) xmlFree(const_cast<xmlChar*>(field));
    field = value != nullptr ? xmlStrdup(value) : nullptr;
  };
  replace(doc->version, probe->version);
  replace(doc->encoding, probe->encoding);
  replace(doc->URL, probe->URL);
  doc->standalone = probe->standalone;
  doc->charset = probe->charset;
}

namespace {

int ReadFromFile(void* file, char* buffer, int length) {
  return static_cast<int>(
      static_cast<platform::RegularFileReader*>(file)->Read(buffer, static_cast<size_t>(length)));
}

// The whole file, for quoting the line of a parse error.
std::string ReadWholeFile(const std::string& native) {
  std::string bytes, reason;
  platform::ReadRegularFile(native, bytes, reason);
  return bytes;
}

}  // namespace

XmlDocHandle ParseFile(const std::string& file_name, bool drop_blank_text, bool accept_doctype) {
  UseSingleByteTables();
  const std::string native = platform::NativePath(file_name);
  // Only a regular file is read: a FIFO or a device in its place would block the run.
  platform::RegularFileReader in(native);
  if (!in.ok()) throw XMLParseException(XML_IO_LOAD_ERROR, 0, 0, file_name, "", in.Reason());
  if (in.Size() > static_cast<int64_t>(INT_MAX))
    throw XMLParseException(XML_ERR_NO_MEMORY, 0, 0, file_name, "", xml_text::kFileTooLarge);
  std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw XMLException(xml_text::OutOfMemory("créer un analyseur"));
  DiagnosticCapture capture;
  // Read as the parser goes, so that the file's bytes and its tree are never both in
  // memory. The native name is the document's address, against which relative
  // references resolve.
  Diagnostic refused;
  AttributeLimit limit(/*detect_encoding=*/true);
  auto read = [&in](char* buffer, int length) { return ReadFromFile(&in, buffer, length); };
  LimitedInput<decltype(read)> input{read, &limit};
  XmlDocHandle doc = ParseWithRules(ctxt.get(), accept_doctype, limit, &refused, [&] {
    return xmlCtxtReadIO(ctxt.get(), &decltype(input)::Callback, nullptr, &input, native.c_str(),
                         nullptr, ParseOptions(drop_blank_text));
  });
  if (in.error() != 0)
    throw XMLParseException(XML_IO_LOAD_ERROR, 0, 0, file_name, "",
                            platform::SystemErrorText(in.error()));
  if (refused.code != 0) RaiseParseError(refused, file_name, ReadWholeFile(native));
  if (!doc) {
    const Diagnostic* d = capture.First();
    if (d != nullptr && d->code != 0) RaiseParseError(*d, file_name, ReadWholeFile(native));
    return nullptr;
  }
  if (drop_blank_text) DropBlankText(reinterpret_cast<xmlNode*>(doc.get()));
  return doc;
}

XmlDocHandle ParseFile(const std::string& file_name) { return ParseFile(file_name, true, false); }

bool WrittenAs(const xmlNode* element, std::string_view name) {
  return (element->ns == nullptr || element->ns->prefix == nullptr) &&
         name == reinterpret_cast<const char*>(element->name);
}

namespace {

// True when the element name equals `name` (not empty), without measuring the element's
// name first: most names differ at their first letters.
bool SameName(const xmlChar* element_name, std::string_view name) {
  const auto* e = reinterpret_cast<const char*>(element_name);
  return e[0] == name[0] && std::strncmp(e, name.data(), name.size()) == 0 &&
         e[name.size()] == '\0';
}

}  // namespace

bool FoundByNameTest(const xmlNode* node, std::string_view name) {
  // An unprefixed name test finds elements in no namespace only.
  return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
         node->name != nullptr && !name.empty() && SameName(node->name, name);
}

namespace {

void CollectSpanTags(xmlNode* node, std::string_view start_name, std::string_view end_name,
                     XMLSpanTags* tags) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
      // Attributes and namespace declarations are written inside the start tag.
      if (node->properties == nullptr && node->nsDef == nullptr && WrittenAs(node, start_name)) {
        tags->has_start = true;
        tags->start_after_end = true;
      }
      for (xmlNode* child = node->children; child != nullptr && tags->known; child = child->next)
        CollectSpanTags(child, start_name, end_name, tags);
      if (WrittenAs(node, end_name)) tags->start_after_end = false;  // never written short
      return;
    case XML_TEXT_NODE:
      return;  // "<" is written as "&lt;"
    default:
      tags->known = false;
  }
}

}  // namespace

XMLSpanTags SpanTagsOf(xmlNode* node, std::string_view start_name, std::string_view end_name) {
  XMLSpanTags tags;
  CollectSpanTags(node, start_name, end_name, &tags);
  return tags;
}

std::string NodeName(xmlNode* node) {
  if (node == nullptr) return {};
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      if (node->ns != nullptr && node->ns->prefix != nullptr)
        return S(node->ns->prefix) + ":" + S(node->name);
      return S(node->name);
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
      return "#document";
    case XML_DOCUMENT_FRAG_NODE:
      return "#document-fragment";
    default:
      return S(node->name);
  }
}

xmlNode* DomParent(xmlNode* node) {
  if (node == nullptr || node->type == XML_ATTRIBUTE_NODE || node->type == XML_DOCUMENT_NODE ||
      node->type == XML_HTML_DOCUMENT_NODE || node->type == XML_NAMESPACE_DECL)
    return nullptr;
  return node->parent;
}

std::string NodeText(xmlNode* node) {
  if (node == nullptr) return {};
  // The common field: an element holding one text.
  if (node->type == XML_ELEMENT_NODE && node->children != nullptr &&
      node->children->next == nullptr && node->children->type == XML_TEXT_NODE)
    return S(node->children->content);
  XmlString content(xmlNodeGetContent(node));
  return S(content.get());
}

void SetNodeText(XMLDOMDocument& document, xmlNode* node, const std::string& value) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
      // Children leave through the parking so that no cursor is left pointing at them.
      while (node->children != nullptr) document.Park(node->children);
      if (!value.empty()) {
        xmlNode* text = xmlNewDocTextLen(node->doc, X(value), static_cast<int>(value.size()));
        if (text == nullptr) throw XMLException(xml_text::OutOfMemory("modifier un texte"));
        ShareShortText(text);
        if (xmlAddChild(node, text) == nullptr) {
          xmlFreeNode(text);
          throw XMLException(xml_text::TextCannotBeSet(NodeName(node)));
        }
      }
      document.Touch();
      return;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      xmlNodeSetContentLen(node, X(value), static_cast<int>(value.size()));
      document.Touch();
      return;
    default:
      throw XMLException(xml_text::TextCannotBeSet(NodeName(node)));
  }
}

bool IsPlainChildName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name.front())) return false;
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  return true;
}

namespace {

// Calls visit(child) for the child elements child::name finds, in document order, until
// it returns false. False when the walk does not apply (name or context of another kind).
template <typename Visit>
bool WalkChildElements(xmlNode* context, std::string_view name, Visit visit) {
  if (context == nullptr || !IsPlainChildName(name)) return false;
  // The child axis of other nodes (texts, attributes...) is for XPath to walk.
  if (context->type != XML_ELEMENT_NODE && context->type != XML_DOCUMENT_NODE) return false;
  for (xmlNode* child = context->children; child != nullptr; child = child->next)
    if (FoundByNameTest(child, name) && !visit(child)) break;
  return true;
}

}  // namespace

std::vector<xmlNode*> EvaluateXPath(XMLDOMDocument& document, xmlNode* context,
                                    const std::string& xpath) {
  xmlDoc* doc =
      context->type == XML_DOCUMENT_NODE ? reinterpret_cast<xmlDoc*>(context) : context->doc;
  if (doc == nullptr) doc = document.doc();
  xmlXPathContext* ctx = document.XPathContext();
  DiagnosticCapture capture;
  // Everything an evaluation reads from the context is set afresh: the context is shared.
  ctx->doc = doc;
  ctx->node = context;
  ctx->contextSize = -1;
  ctx->proximityPosition = -1;
  ctx->error = &OnXPathError;
  ctx->userData = &capture;
  xmlResetError(&ctx->lastError);
  std::unique_ptr<xmlXPathObject, XPathObjectDeleter> result(xmlXPathEvalExpression(X(xpath), ctx));
  ctx->userData = nullptr;
  ctx->error = nullptr;
  if (!result) throw XMLException(xml_text::InvalidXPath(xpath, XPathReason(capture, ctx)));
  if (result->type != XPATH_NODESET) throw XMLException(xml_text::XPathGivesNoNodes(xpath));
  std::vector<xmlNode*> nodes;
  if (result->nodesetval != nullptr) {
    nodes.reserve(static_cast<size_t>(result->nodesetval->nodeNr));
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlNode* node = result->nodesetval->nodeTab[i];
      // Namespace nodes are copies that die with the result: they are not listed.
      if (node != nullptr && node->type != XML_NAMESPACE_DECL) nodes.push_back(node);
    }
  }
  return nodes;
}

std::vector<xmlNode*> SelectNodes(XMLDOMDocument& document, xmlNode* context,
                                  const std::string& xpath) {
  std::vector<xmlNode*> nodes;
  if (WalkChildElements(context, xpath, [&nodes](xmlNode* child) {
        nodes.push_back(child);
        return true;
      }))
    return nodes;
  return EvaluateXPath(document, context, xpath);
}

xmlNode* SelectFirst(XMLDOMDocument& document, xmlNode* context, const std::string& xpath) {
  xmlNode* first = nullptr;
  if (WalkChildElements(context, xpath, [&first](xmlNode* child) {
        first = child;
        return false;
      }))
    return first;
  std::vector<xmlNode*> nodes = EvaluateXPath(document, context, xpath);
  return nodes.empty() ? nullptr : nodes.front();
}

XmlDocHandle NewEmptyDocument() {
  XmlDocHandle doc(xmlNewDoc(BAD_CAST "1.0"));
  if (!doc) throw XMLException(xml_text::OutOfMemory("créer un document"));
  doc->standalone = -1;  // no declaration until one is parsed
  return doc;
}

XmlNodeHandle NewElement(xmlDoc* doc, const std::string& name, const std::string& text) {
  if (name.empty() || xmlValidateName(X(name), 0) != 0)
    throw XMLException(xml_text::InvalidElementName(name));
  XmlNodeHandle element(xmlNewDocNode(doc, nullptr, X(name), nullptr));
  if (!element) throw XMLException(xml_text::OutOfMemory("créer l'élément \"" + name + "\""));
  if (!text.empty()) {
    xmlNode* content = xmlNewDocTextLen(doc, X(text), static_cast<int>(text.size()));
    ShareShortText(content);
    if (content == nullptr || xmlAddChild(element.get(), content) == nullptr) {
      xmlFreeNode(content);
      throw XMLException(xml_text::OutOfMemory("créer l'élément \"" + name + "\""));
    }
  }
  return element;
}

XmlNodeHandle NewCData(xmlDoc* doc, const std::string& value) {
  XmlNodeHandle cdata(xmlNewCDataBlock(doc, X(value), static_cast<int>(value.size())));
  if (!cdata) throw XMLException(xml_text::OutOfMemory("créer une section CDATA"));
  return cdata;
}

bool GetAttribute(xmlNode* element, const std::string& name, std::string* value) {
  if (element == nullptr || element->type != XML_ELEMENT_NODE) return false;
  xmlAttr* attr = xmlHasProp(element, X(name));
  if (attr == nullptr) return false;
  *value = NodeText(reinterpret_cast<xmlNode*>(attr));
  return true;
}

void SetAttribute(XMLDOMDocument& document, xmlNode* element, const std::string& name,
                  const std::string& value) {
  if (element->type != XML_ELEMENT_NODE)
    throw XMLException(xml_text::NotAnElement(NodeName(element), name));
  if (name.empty() || xmlValidateName(X(name), 0) != 0)
    throw XMLException(xml_text::InvalidAttributeName(name));
  for (xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (NodeName(reinterpret_cast<xmlNode*>(attr)) == name) {
      SetNodeText(document, reinterpret_cast<xmlNode*>(attr), value);
      return;
    }
  }
  xmlAttr* created = nullptr;
  size_t colon = name.find(':');
  if (colon != std::string::npos && colon > 0) {
    std::string prefix = name.substr(0, colon);
    if (xmlNs* ns = xmlSearchNs(element->doc, element, X(prefix)); ns != nullptr)
      created = xmlNewNsProp(element, ns, X(name.substr(colon + 1)), X(value));
  }
  if (created == nullptr) created = xmlNewProp(element, X(name), X(value));
  if (created == nullptr)
    throw XMLException(xml_text::OutOfMemory("poser l'attribut \"" + name + "\""));
  if (created->children != nullptr && created->children->next == nullptr)
    ShareShortText(created->children);
  document.Touch();
}

XmlNodeHandle CopyForInsert(xmlNode* node, xmlDoc* doc) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
    case XML_ENTITY_REF_NODE:
      break;
    default:
      throw XMLException(xml_text::CannotBeInsertedHere(NodeName(node)));
  }
  XmlNodeHandle copy(xmlDocCopyNode(node, doc, 1));
  if (!copy) throw XMLException(xml_text::OutOfMemory("copier \"" + NodeName(node) + "\""));
  return copy;
}

XmlDocHandle StandaloneCopy(xmlNode* node) {
  XmlDocHandle doc = NewEmptyDocument();
  XmlNodeHandle copy(xmlDocCopyNode(node, doc.get(), 1));
  if (!copy) throw XMLException(xml_text::OutOfMemory("copier \"" + NodeName(node) + "\""));
  if (xmlAddChild(reinterpret_cast<xmlNode*>(doc.get()), copy.get()) == nullptr)
    throw XMLException(xml_text::CannotStandAlone(NodeName(node)));
  copy.release();
  return doc;
}

void CheckCanReplace(xmlNode* parent, xmlNode* leaving, const std::vector<XmlNodeHandle>& copies) {
  if (!CanHoldChildren(parent)) throw XMLException(xml_text::CannotHoldChildren(NodeName(parent)));
  if (parent->type != XML_DOCUMENT_NODE) return;
  xmlNode* root = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(parent));
  bool has_root = root != nullptr && root != leaving;
  for (const XmlNodeHandle& copy : copies) {
    if ((copy->type == XML_ELEMENT_NODE && has_root) ||
        (copy->type != XML_ELEMENT_NODE && copy->type != XML_COMMENT_NODE &&
         copy->type != XML_PI_NODE))
      throw XMLException(xml_text::kOneTopLevelElement);
    if (copy->type == XML_ELEMENT_NODE) has_root = true;
  }
}

xmlNode* InsertChild(XMLDOMDocument& document, xmlNode* parent, XmlNodeHandle child,
                     xmlNode* before) {
  if (!CanHoldChildren(parent)) throw XMLException(xml_text::CannotHoldChildren(NodeName(parent)));
  if (parent->type == XML_DOCUMENT_NODE) {
    bool has_root = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(parent)) != nullptr;
    if ((child->type == XML_ELEMENT_NODE && has_root) ||
        (child->type != XML_ELEMENT_NODE && child->type != XML_COMMENT_NODE &&
         child->type != XML_PI_NODE))
      throw XMLException(xml_text::kOneTopLevelElement);
  }
  xmlNode* placed =
      before != nullptr ? xmlAddPrevSibling(before, child.get()) : xmlAddChild(parent, child.get());
  if (placed == nullptr) throw XMLException(xml_text::CannotBeInserted(NodeName(child.get())));
  // In the tree now, or merged into a neighbouring text (which freed it).
  child.release();
  document.Touch();
  return placed;
}

std::string SerializeNode(xmlNode* node) {
  std::string text;
  SaveInto(text, "UTF-8", kSaveOptions | XML_SAVE_NO_DECL,
           [node](xmlSaveCtxt* ctxt) { return xmlSaveTree(ctxt, node); });
  return text;
}

std::string SerializeDocument(xmlDoc* doc, size_t expected_size) {
  std::string text;
  ReserveFor(text, expected_size);
  text.append(DeclarationAndLineEnd(doc));
  SaveInto(text, "UTF-8", kSaveOptions | XML_SAVE_NO_DECL,
           [doc](xmlSaveCtxt* ctxt) { return xmlSaveDoc(ctxt, doc); });
  return text;
}

namespace {

// Writes the bytes EncodeDocument gives to `out`.
void EncodeInto(SaveOutput& out, xmlDoc* doc, const std::string& written_declaration) {
  UseSingleByteTables();
  const std::string encoding = S(doc->encoding);
  if (!HasDeclaration(doc) || encoding.empty()) {
    out.Put(DeclarationAndLineEnd(doc));
    SaveInto(out, "UTF-8", kSaveOptions | XML_SAVE_NO_DECL,
             [doc](xmlSaveCtxt* ctxt) { return xmlSaveDoc(ctxt, doc); });
    return;
  }
  // A declaration written in ASCII can head only bytes of an ASCII-compatible encoding.
  std::string upper = encoding;
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  const bool wide = upper.starts_with("UTF-16") || upper.starts_with("UTF-32") ||
                    upper.starts_with("UCS") || upper.starts_with("UTF16") ||
                    upper.starts_with("UTF32");
  if (written_declaration.empty() || wide) {
    SaveInto(out, encoding.c_str(), kSaveOptions,
             [doc](xmlSaveCtxt* ctxt) { return xmlSaveDoc(ctxt, doc); });
    return;
  }
  out.Put(written_declaration + "\n");
  SaveInto(out, encoding.c_str(), kSaveOptions | XML_SAVE_NO_DECL,
           [doc](xmlSaveCtxt* ctxt) { return xmlSaveDoc(ctxt, doc); });
}

}  // namespace

std::string EncodeDocument(xmlDoc* doc, const std::string& written_declaration) {
  std::string bytes;
  SaveOutput out(bytes);
  EncodeInto(out, doc, written_declaration);
  return bytes;
}

void EncodeDocumentTo(xmlDoc* doc, const std::string& written_declaration, const ByteSink& sink) {
  SaveOutput out(sink);
  EncodeInto(out, doc, written_declaration);
}

std::string LeadingDeclaration(std::string_view text) {
  if (!text.starts_with("<?xml") || text.size() < 6 ||
      (text[5] != ' ' && text[5] != '\t' && text[5] != '\r' && text[5] != '\n'))
    return {};
  const size_t end = text.find("?>");
  if (end == std::string_view::npos) return {};
  const std::string_view declaration = text.substr(0, end + 2);
  for (const char c : declaration)
    if (static_cast<unsigned char>(c) >= 0x80) return {};
  return std::string(declaration);
}

}  // namespace xmldom
}  // namespace kalvex
