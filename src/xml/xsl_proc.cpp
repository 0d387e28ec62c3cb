#include "xml/xsl_proc.h"

#include <libxml/xmlIO.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "xml/xml_dom.h"
#include "xml/xml_texts.h"

namespace kalvex {

namespace {

const char kCrLf[] = "\r\n";
const char kUtf16Meta[] =
    "<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-16\">";

std::atomic<bool> g_up_to_date_checking{true};

struct TransformContextDeleter {
  void operator()(xsltTransformContext* c) const { xsltFreeTransformContext(c); }
};
struct SecurityPrefsDeleter {
  void operator()(xsltSecurityPrefs* p) const { xsltFreeSecurityPrefs(p); }
};
struct OutputBufferDeleter {
  void operator()(xmlOutputBuffer* b) const { xmlOutputBufferClose(b); }
};

// Raises an error of the same kind as `inner` carrying `message`.
[[noreturn]] void Rethrow(const XMLException& inner, const std::string& message) {
  if (auto* parse = dynamic_cast<const XMLParseException*>(&inner))
    throw XMLParseException(*parse, message);
  throw XMLException(message);
}

// Collects what libxslt (and libxml2 under it) reports while it lives.
class XsltMessages {
 public:
  XsltMessages()
      : old_xslt_(xsltGenericError),
        old_xslt_ctx_(xsltGenericErrorContext),
        old_xml_(xmlGenericError),
        old_xml_ctx_(xmlGenericErrorContext),
        old_structured_(xmlStructuredError),
        old_structured_ctx_(xmlStructuredErrorContext) {
    xsltSetGenericErrorFunc(this, &XsltMessages::OnMessage);
    xmlSetGenericErrorFunc(this, &XsltMessages::OnMessage);
    xmlSetStructuredErrorFunc(this, &XsltMessages::OnStructured);
  }
  ~XsltMessages() {
    xsltSetGenericErrorFunc(old_xslt_ctx_, old_xslt_);
    xmlSetGenericErrorFunc(old_xml_ctx_, old_xml_);
    xmlSetStructuredErrorFunc(old_structured_ctx_, old_structured_);
  }
  XsltMessages(const XsltMessages&) = delete;
  XsltMessages& operator=(const XsltMessages&) = delete;

  static void OnMessage(void* self, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    static_cast<XsltMessages*>(self)->text_ += text;
  }
  static void OnStructured(void* self, xmlError* error) {
    if (error != nullptr && error->message != nullptr)
      static_cast<XsltMessages*>(self)->text_ += error->message;
  }
  void Attach(xsltTransformContext* ctxt) { xsltSetTransformErrorFunc(ctxt, this, &OnMessage); }

  std::string Text(const char* fallback) const {
    std::string text = text_;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::string lines;
    for (char c : text) {
      if (c == '\n')
        lines += kCrLf;
      else
        lines += c;
    }
    return lines.empty() ? fallback : lines;
  }

 private:
  xmlGenericErrorFunc old_xslt_;
  void* old_xslt_ctx_;
  xmlGenericErrorFunc old_xml_;
  void* old_xml_ctx_;
  xmlStructuredErrorFunc old_structured_;
  void* old_structured_ctx_;
  std::string text_;
};

std::string FolderPart(const std::string& name) {
  size_t sep = name.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : name.substr(0, sep + 1);
}

// Compiles a parsed stylesheet document; the stylesheet owns it afterwards.
_xsltStylesheet* Compile(XmlDocHandle doc) {
  XsltMessages messages;
  xsltStylesheet* style = xsltParseStylesheetDoc(doc.get());
  if (style == nullptr) throw XMLException(messages.Text(xml_text::kStylesheetNotCompiled));
  doc.release();
  if (style->errors != 0) {
    xsltFreeStylesheet(style);
    throw XMLException(messages.Text(xml_text::kStylesheetNotCompiled));
  }
  return style;
}

// Stylesheets may read files but never write, and never go to the network.
std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> RestrictedPrefs() {
  std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> prefs(xsltNewSecurityPrefs());
  if (!prefs) throw XMLException(xml_text::OutOfMemory("préparer la transformation"));
  if (xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid) != 0 ||
      xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid) != 0 ||
      xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid) != 0 ||
      xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid) != 0)
    throw XMLException(xml_text::kSecurityNotMade);
  return prefs;
}

}  // namespace

void SetXSLUpToDateChecking(bool on) { g_up_to_date_checking = on; }
bool XSLUpToDateChecking() { return g_up_to_date_checking; }

XSLProcPtr CreateXSLProc() { return std::make_shared<TXSLProc>(); }

void TXSLProc::StylesheetDeleter::operator()(_xsltStylesheet* style) const {
  xsltFreeStylesheet(style);
}

TXSLProc::TXSLProc() = default;
TXSLProc::~TXSLProc() = default;

bool TXSLProc::IsUpToDate() const {
  if (!XSLUpToDateChecking()) return true;
  try {
    for (const auto& [name, time] : files_)
      if (platform::FileWriteTime(name) != time) return false;
    return true;
  } catch (const XMLException& e) {
    Rethrow(e, xml_text::XslIsUpToDatePrefix(file_name_) + kCrLf + e.what());
  }
}

void TXSLProc::ProcessImports(_xmlNode* root, const std::string& own_file) {
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    std::string name = xmldom::NodeName(child);
    if (name != "xsl:import" && name != "xsl:include") continue;
    std::string href;
    if (!xmldom::GetAttribute(child, "href", &href))
      throw XMLException(xml_text::kImportHrefMissing);
    if (href.empty()) throw XMLException(xml_text::kImportHrefEmpty);
    // Relative references are read from the folder of the stylesheet that names them,
    // as the compiler does.
    std::string reference = href[0] == '/' ? href : FolderPart(own_file) + href;
    std::replace(reference.begin(), reference.end(), '/', '\\');
    bool known = std::any_of(files_.begin(), files_.end(),
                             [&](const auto& entry) { return entry.first == reference; });
    if (known) continue;
    try {
      XmlDocHandle imported = xmldom::ParseFile(reference, false, true);
      xmlNode* imported_root = imported ? xmlDocGetRootElement(imported.get()) : nullptr;
      if (imported_root == nullptr) throw XMLException(xml_text::XslDocumentEmpty(reference));
      files_.emplace_back(reference, platform::FileWriteTime(reference));
      ProcessImports(imported_root, reference);
    } catch (const XMLException& e) {
      Rethrow(e, xml_text::XslImportPrefix(reference) + kCrLf + e.what());
    }
  }
}

void TXSLProc::Load(const std::string& file_name) {
  try {
    file_name_ = file_name;
    files_.clear();
    style_.reset();
    XmlDocHandle doc = xmldom::ParseFile(file_name, false, true);
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) throw XMLException(xml_text::XslDocumentEmpty(file_name));
    files_.emplace_back(file_name, platform::FileWriteTime(file_name));
    ProcessImports(root, file_name);
    style_.reset(Compile(std::move(doc)));
  } catch (const XMLException& e) {
    Rethrow(e, xml_text::XslLoadPrefix(file_name) + kCrLf + e.what());
  }
}

void TXSLProc::LoadXML(const std::string& text) {
  try {
    file_name_.clear();
    files_.clear();
    style_.reset();
    XmlDocHandle doc = xmldom::ParseText(text, false, true);
    if (!doc || xmlDocGetRootElement(doc.get()) == nullptr)
      throw XMLException(xml_text::kXslTextEmpty);
    style_.reset(Compile(std::move(doc)));
  } catch (const XMLException& e) {
    Rethrow(e, std::string(xml_text::kXslLoadXmlPrefix) + e.what());
  }
}

std::string TXSLProc::Process(const XMLCursorPtr& cursor) {
  if (!cursor) return {};
  try {
    if (!style_) Load(file_name_);
    XMLDOMDocumentPtr document = cursor->Document();
    if (!document) throw XMLException(xml_text::kNoDocumentToTransform);
    // A node below the root element is transformed on its own, as the root of a copy.
    XmlDocHandle own_input;
    xmlDoc* input = document->doc();
    xmlNode* node = cursor->CurrentNode();
    xmlNode* parent = xmldom::DomParent(node);
    if (parent != nullptr && xmldom::DomParent(parent) != nullptr) {
      own_input = xmldom::StandaloneCopy(node);
      input = own_input.get();
    }
    XsltMessages messages;
    std::unique_ptr<xsltTransformContext, TransformContextDeleter> ctxt(
        xsltNewTransformContext(style_.get(), input));
    if (!ctxt) throw XMLException(messages.Text(xml_text::kTransformNotPrepared));
    messages.Attach(ctxt.get());
    auto prefs = RestrictedPrefs();
    if (xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get()) != 0)
      throw XMLException(xml_text::kSecurityNotApplied);
    XmlDocHandle result(
        xsltApplyStylesheetUser(style_.get(), input, nullptr, nullptr, nullptr, ctxt.get()));
    if (!result || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED)
      throw XMLException(messages.Text(xml_text::kTransformFailed));
    std::unique_ptr<xmlOutputBuffer, OutputBufferDeleter> out(xmlAllocOutputBuffer(nullptr));
    if (!out) throw XMLException(xml_text::OutOfMemory("écrire le résultat de la transformation"));
    if (xsltSaveResultTo(out.get(), result.get(), style_.get()) < 0)
      throw XMLException(messages.Text(xml_text::kTransformOutputNotWritten));
    std::string text(reinterpret_cast<const char*>(xmlOutputBufferGetContent(out.get())),
                     xmlOutputBufferGetSize(out.get()));
    if (size_t at = text.find(kUtf16Meta); at != std::string::npos)
      text.erase(at, sizeof kUtf16Meta - 1);
    return text;
  } catch (const XMLException& e) {
    Rethrow(e, xml_text::XslProcessPrefix(file_name_) + kCrLf + e.what());
  }
}

}  // namespace kalvex
