#include "xml/xml_cursor.h"

#include <exception>
#include <utility>

#include "platform/platform.h"
#include "platform/temporary_files.h"
#include "xml/xml_dom.h"
#include "xml/xml_node_list.h"
#include "xml/xml_texts.h"
#include "xml/xsl_proc.h"

namespace kalvex {

namespace {

const char kCrLf[] = "\r\n";

// Re-indents a node or a document: every element and attribute re-created under its own
// name, text copied by the built-in rules.
const char kIndentStylesheet[] =
    "<?xml version=\"1.0\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"xml\" indent=\"yes\" omit-xml-declaration=\"yes\"/>"
    "<xsl:template match=\"@*\">"
    "<xsl:attribute name=\"{name()}\"><xsl:value-of select=\".\"/></xsl:attribute>"
    "</xsl:template>"
    "<xsl:template match=\"*\">"
    "<xsl:element name=\"{name()}\">"
    "<xsl:apply-templates select=\"@*\"/><xsl:apply-templates/>"
    "</xsl:element>"
    "</xsl:template>"
    "</xsl:stylesheet>";

// The folder part of a file name: up to and including its last separator.
std::string FolderPart(const std::string& name) {
  size_t sep = name.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : name.substr(0, sep + 1);
}

// Creates a folder and its missing parents. A failed creation is left for the write
// that follows to report.
void CreateFolder(const std::string& folder) {
  if (folder.empty()) throw XMLException(xml_text::kBlankFolder);
  std::string name = folder;
  if (name.back() == '\\' || name.back() == '/') name.pop_back();
  if (name.size() <= 2 || platform::DirectoryExists(name)) return;
  std::string parent = FolderPart(name);
  if (parent != name) CreateFolder(parent);
  platform::ForceDirectories(name);  // its parent is there: makes this one folder
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Errors

void XMLException::RaiseWithPrefix(const std::string& prefix) const {
  throw XMLException(prefix + kCrLf + what());
}

XMLParseException::XMLParseException(int32_t code, int32_t line, int32_t column, std::string source,
                                     std::string source_text, std::string reason)
    : XMLException(xmldom::ParseErrorMessage(code, line, column, source, source_text, reason)),
      code_(code),
      line_(line),
      column_(column),
      source_(std::move(source)),
      source_text_(std::move(source_text)),
      reason_(std::move(reason)) {}

XMLParseException::XMLParseException(const XMLParseException& inner, const std::string& message)
    : XMLException(message),
      code_(inner.code_),
      line_(inner.line_),
      column_(inner.column_),
      source_(inner.source_),
      source_text_(inner.source_text_),
      reason_(inner.reason_) {}

void XMLParseException::RaiseWithPrefix(const std::string& prefix) const {
  throw XMLParseException(*this, prefix + kCrLf + what());
}

// ---------------------------------------------------------------------------------------
// Cursor

XMLCursorPtr CreateXMLCursor() { return std::make_shared<TXMLCursor>(); }

void TXMLCursor::Sync() const {
  if (!list_ || !list_->Stale()) return;
  // The tree this cursor walked was replaced by a load: nothing of it is left.
  list_.reset();
  index_ = -1;
  current_ = nullptr;
  end_ = true;
}

TXMLCursor::TXMLCursor(XMLDOMDocumentPtr document, std::shared_ptr<XMLNodeList> list)
    : document_(std::move(document)), list_(std::move(list)) {
  First();
}

TXMLCursor::~TXMLCursor() = default;

void TXMLCursor::EnsureDocument() {
  if (!document_) document_ = std::make_shared<XMLDOMDocument>();
}

void TXMLCursor::AfterLoad() {
  xmlNode* root = xmlDocGetRootElement(document_->doc());
  if (root != nullptr) {
    std::vector<std::pair<std::string, std::string>> ns;
    for (xmlNs* def = root->nsDef; def != nullptr; def = def->next)
      if (def->prefix != nullptr)
        ns.emplace_back(reinterpret_cast<const char*>(def->prefix),
                        def->href ? reinterpret_cast<const char*>(def->href) : "");
    document_->set_namespaces(std::move(ns));
    list_ = XMLNodeList::Selection(document_, {root});
  } else {
    document_->set_namespaces({});
    list_.reset();
  }
  First();
}

template <typename Parse>
void TXMLCursor::LoadParsed(Parse parse, std::string written_declaration, size_t text_size) {
  EnsureDocument();
  // The earlier tree goes first, so that it and the new one are never in memory
  // together; a text that does not parse leaves the document empty.
  document_->ReplaceContent(xmldom::NewEmptyDocument());
  document_->set_written_declaration({});
  document_->set_text_size(0);
  AfterLoad();
  XmlDocHandle parsed = parse();
  if (!parsed) return;
  document_->ReplaceContent(std::move(parsed));
  document_->set_written_declaration(std::move(written_declaration));
  document_->set_text_size(text_size);
  AfterLoad();
}

void TXMLCursor::Load(const std::string& file_name) {
  try {
    const int64_t size = platform::FileSize(file_name);
    LoadParsed([&] { return xmldom::ParseFile(file_name); }, {},
               size < 0 ? 0 : static_cast<size_t>(size));
  } catch (const XMLException& e) {
    if (platform::FileExists(file_name)) e.RaiseWithPrefix(xml_text::LoadMalformed(file_name));
    e.RaiseWithPrefix(xml_text::LoadMissing(file_name));
  }
}

void TXMLCursor::LoadXML(const std::string& text) {
  LoadParsed([&] { return xmldom::ParseText(text); }, xmldom::LeadingDeclaration(text),
             text.size());
}

void TXMLCursor::ReloadXML(const std::string& text) {
  Sync();
  // The parse of a document's own text would give back the tree it has, as long as the
  // tree holds nothing the parse changes: the tree is then kept, as the content of a new
  // load. A parse costs as much as a save, and an export reloads a whole stock.
  if (!document_ || !document_->IsUnchangedSince(text) ||
      !xmldom::ReparseGivesSameTree(document_->doc())) {
    LoadXML(text);
    return;
  }
  xmldom::TakeDeclarationOf(document_->doc(), text);
  document_->RenewContent();
  document_->set_written_declaration(xmldom::LeadingDeclaration(text));
  document_->set_text_size(text.size());
  AfterLoad();
}

XMLCursorPtr TXMLCursor::Select(const std::string& xpath) {
  Sync();
  auto selected = std::make_shared<TXMLCursor>();
  if (current_ != nullptr) {
    selected->document_ = document_;
    if (xpath == "*")
      selected->list_ = XMLNodeList::Children(document_, current_);
    else
      selected->list_ =
          XMLNodeList::Selection(document_, xmldom::SelectNodes(*document_, current_, xpath));
  }
  selected->First();
  return selected;
}

bool TXMLCursor::Eof() const {
  Sync();
  return end_ || index_ == -1;
}

void TXMLCursor::Next() {
  Sync();
  int32_t count = list_ ? list_->Length() : 0;
  // A list that shrank under another cursor's edits also ends here.
  if (!list_ || index_ >= count - 1) {
    end_ = true;
    return;
  }
  ++index_;
  current_ = list_->Item(index_);
}

void TXMLCursor::MoveTo(int32_t index) {
  Sync();
  index_ = -1;
  end_ = true;
  current_ = nullptr;
  int32_t count = list_ ? list_->Length() : 0;
  if (count == 0) return;
  if (index < 0 || index >= count) throw XMLException(xml_text::MoveToOutOfRange(index, count));
  index_ = index;
  end_ = false;
  current_ = list_->Item(index);
}

void TXMLCursor::First() { MoveTo(0); }

void TXMLCursor::Last() { MoveTo(Count() - 1); }

int32_t TXMLCursor::Index() const {
  Sync();
  return index_;
}

int32_t TXMLCursor::Count() const {
  Sync();
  return list_ ? list_->Length() : 0;
}

std::string TXMLCursor::NodeName() const {
  Sync();
  return xmldom::NodeName(current_);
}

std::string TXMLCursor::GetValue(const std::string& name) const {
  Sync();
  if (current_ == nullptr) return {};
  if (name == ".") return xmldom::NodeText(current_);
  return xmldom::NodeText(xmldom::SelectFirst(*document_, current_, name));
}

std::string TXMLCursor::ReadValue(const std::string& name) const { return GetValue(name); }

void TXMLCursor::SetValue(const std::string& name, const std::string& value) {
  Sync();
  if (current_ == nullptr) return;
  if (!name.empty() && name[0] == '@') {
    SetAttribute(name.substr(1), value);
    return;
  }
  xmlNode* node = xmldom::SelectFirst(*document_, current_, name);
  if (node == nullptr)
    node =
        xmldom::InsertChild(*document_, current_, xmldom::NewElement(current_->doc, name), nullptr);
  xmldom::SetNodeText(*document_, node, value);
}

void TXMLCursor::WriteValue(const std::string& name, const std::string& value) {
  SetValue(name, value);
}

void TXMLCursor::SetAttribute(const std::string& name, const std::string& value) {
  Sync();
  if (current_ == nullptr) return;
  xmldom::SetAttribute(*document_, current_, name, value);
}

void TXMLCursor::SetCDATA(const std::string& name, const std::string& value) {
  Sync();
  if (current_ == nullptr) return;
  xmlNode* node = xmldom::SelectFirst(*document_, current_, name);
  if (node == nullptr)
    node =
        xmldom::InsertChild(*document_, current_, xmldom::NewElement(current_->doc, name), nullptr);
  if (node->children != nullptr) {
    xmldom::SetNodeText(*document_, node->children, value);
    return;
  }
  xmldom::InsertChild(*document_, node, xmldom::NewCData(node->doc, value), nullptr);
}

XMLCursorPtr TXMLCursor::NewRootCursor(const std::string& name, const std::string& text) {
  EnsureDocument();
  xmldom::InsertChild(*document_, document_->doc_node(),
                      xmldom::NewElement(document_->doc(), name, text), nullptr);
  list_ = XMLNodeList::Children(document_, document_->doc_node());
  First();
  auto given = std::make_shared<TXMLCursor>(document_, list_);
  given->Last();
  return given;
}

XMLCursorPtr TXMLCursor::AppendChild(const std::string& name, const std::string& text) {
  Sync();
  if (!document_) return NewRootCursor(name, text);
  if (current_ == nullptr) throw XMLException(xml_text::kAppendChildAtEof);
  return InsertElement(current_, nullptr, name, text, false);
}

void TXMLCursor::AddChild(const std::string& name, const std::string& text) {
  AppendChild(name, text);
}

XMLCursorPtr TXMLCursor::InsertElement(XMLDOMNode parent, XMLDOMNode before,
                                       const std::string& name, const std::string& text,
                                       bool stand_first) {
  XmlNodeHandle created = xmldom::NewElement(current_->doc, name, text);
  xmlNode* element = created.get();
  xmldom::InsertChild(*document_, parent, std::move(created), before);
  auto given = std::make_shared<TXMLCursor>(document_, XMLNodeList::Children(document_, parent));
  if (!stand_first) given->MoveTo(given->list_->IndexOf(element));
  return given;
}

XMLCursorPtr TXMLCursor::InsertBefore(const std::string& name, const std::string& text) {
  Sync();
  if (!document_) return NewRootCursor(name, text);
  xmlNode* parent = xmldom::DomParent(current_);
  if (current_ == nullptr || parent == nullptr) return nullptr;
  return InsertElement(parent, current_, name, text, false);
}

XMLCursorPtr TXMLCursor::InsertAfter(const std::string& name, const std::string& text) {
  Sync();
  if (!document_) return NewRootCursor(name, text);
  xmlNode* parent = xmldom::DomParent(current_);
  if (current_ == nullptr || parent == nullptr) return nullptr;
  return InsertElement(parent, current_->next, name, text, false);
}

XMLCursorPtr TXMLCursor::InsertFirstChild(const std::string& name, const std::string& text) {
  Sync();
  if (!document_) return NewRootCursor(name, text);
  if (current_ == nullptr) return nullptr;
  return InsertElement(current_, current_->children, name, text, true);
}

void TXMLCursor::AppendXMLCursor(const XMLCursorPtr& other) {
  Sync();
  if (!other) return;
  std::vector<XMLDOMNode> nodes = other->ListedNodes();
  if (nodes.empty()) return;
  if (!document_) {
    if (nodes.size() > 1) throw XMLException(xml_text::kAppendMoreThanOne);
    EnsureDocument();
    xmldom::InsertChild(*document_, document_->doc_node(),
                        xmldom::CopyForInsert(nodes.front(), document_->doc()), nullptr);
    list_ = XMLNodeList::Children(document_, document_->doc_node());
    First();
    return;
  }
  if (current_ == nullptr) return;
  // Every copy is made before the first goes in: the other list may include this node.
  std::vector<XmlNodeHandle> copies;
  for (XMLDOMNode node : nodes) copies.push_back(xmldom::CopyForInsert(node, current_->doc));
  for (XmlNodeHandle& copy : copies)
    xmldom::InsertChild(*document_, current_, std::move(copy), nullptr);
}

void TXMLCursor::ReplaceWithXMLCursor(const XMLCursorPtr& other) {
  Sync();
  if (!document_) throw XMLException(xml_text::kReplaceWithoutDocument);
  xmlNode* parent = xmldom::DomParent(current_);
  if (current_ == nullptr || parent == nullptr || !other) return;
  // A cursor without node list (never loaded, or its load failed) replaces nothing: the
  // current node stays.
  const auto* other_cursor = dynamic_cast<const TXMLCursor*>(other.get());
  if (other_cursor != nullptr) other_cursor->Sync();
  if (other_cursor != nullptr ? !other_cursor->list_ : !other->Document()) return;
  std::vector<XmlNodeHandle> copies;
  for (XMLDOMNode node : other->ListedNodes())
    copies.push_back(xmldom::CopyForInsert(node, current_->doc));
  // Refused copies are refused before the current node leaves, so the document stays
  // as it was.
  xmldom::CheckCanReplace(parent, current_, copies);
  // The replaced node leaves first, so that a root element may be replaced by another.
  xmlNode* next = current_->next;
  document_->Park(current_);
  list_ = XMLNodeList::Children(document_, parent);
  for (XmlNodeHandle& copy : copies) {
    try {
      xmldom::InsertChild(*document_, parent, std::move(copy), next);
    } catch (...) {
      First();
      throw;
    }
  }
  First();
}

void TXMLCursor::Delete() {
  Sync();
  if (current_ == nullptr || xmldom::DomParent(current_) == nullptr) return;
  document_->Park(current_);
  if (list_) {
    int32_t count = list_->Length();
    if (index_ >= count) index_ = count - 1;
    current_ = index_ >= 0 ? list_->Item(index_) : nullptr;
  } else {
    index_ = -1;
    current_ = nullptr;
    end_ = true;
  }
}

XMLCursorPtr TXMLCursor::SelectDocument() {
  if (!document_) return nullptr;
  return std::make_shared<TXMLCursor>(document_,
                                      XMLNodeList::Children(document_, document_->doc_node()));
}

std::string TXMLCursor::XML() const {
  Sync();
  if (current_ == nullptr) return {};
  xmlNode* parent = xmldom::DomParent(current_);
  if (parent != nullptr && xmldom::DomParent(parent) != nullptr)
    return xmldom::SerializeNode(current_);
  std::string text = xmldom::SerializeDocument(document_->doc(), document_->text_size());
  document_->set_text_size(text.size());
  document_->NoteSerialised(text.size());
  return text;
}

std::string TXMLCursor::ParentXML() const {
  Sync();
  if (current_ == nullptr) return {};
  xmlNode* parent = xmldom::DomParent(current_);
  if (parent == nullptr) return XML();
  if (parent->type == XML_DOCUMENT_NODE)
    return xmldom::SerializeDocument(reinterpret_cast<xmlDoc*>(parent));
  return xmldom::SerializeNode(parent);
}

std::string TXMLCursor::PrettyXML() const {
  Sync();
  if (current_ == nullptr) return {};
  try {
    XSLProcPtr processor = CreateXSLProc();
    processor->LoadXML(kIndentStylesheet);
    // A non-owning handle: the processor only reads this cursor during the call.
    XMLCursorPtr self(std::shared_ptr<void>(), const_cast<TXMLCursor*>(this));
    return processor->Process(self);
  } catch (const Error& e) {
    throw Error(std::string(xml_text::kPrettyXmlPrefix) + e.what());
  }
}

void TXMLCursor::Save(const std::string& file_name) const { SaveToFiles({file_name}); }

void TXMLCursor::SaveToFiles(const std::vector<std::string>& file_names) const {
  if (!document_ || file_names.empty()) return;
  // Serialised once, straight into the first file's temporary file as the bytes are
  // made; the other files are copies of it. Every file is put in place in turn, and a
  // failure leaves the files before it in place and the others as they were.
  std::vector<std::unique_ptr<platform::TemporaryFile>> files;
  auto raise = [&file_names](size_t at) {
    const std::string prefix = xml_text::SavePrefix(file_names[at]);
    try {
      throw;
    } catch (const XMLException& e) {
      e.RaiseWithPrefix(prefix);
    } catch (const IoError& e) {
      throw IoError(e.code(), prefix + kCrLf + e.what());
    }
  };
  // Puts the files prepared so far in place, in turn.
  auto commit = [&] {
    for (size_t at = 0; at < files.size(); ++at) {
      try {
        files[at]->Commit();
      } catch (...) {
        raise(at);
      }
    }
  };
  for (size_t at = 0; at < file_names.size(); ++at) {
    const std::string& file_name = file_names[at];
    try {
      CreateFolder(FolderPart(file_name));
      std::unique_ptr<platform::TemporaryFile> file;
      // Made when the first bytes come: a document that cannot be serialised in its
      // encoding is refused before any file is touched.
      auto open = [&] {
        if (!file)
          file =
              std::make_unique<platform::TemporaryFile>(platform::NativePath(file_name), file_name);
        return file.get();
      };
      if (files.empty()) {
        size_t size = 0;
        xmldom::EncodeDocumentTo(document_->doc(), document_->written_declaration(),
                                 [&](std::string_view bytes) {
                                   open()->Write(bytes);
                                   size += bytes.size();
                                 });
        document_->set_text_size(size);
        open();
      } else {
        open()->CopyFrom(*files.front());
      }
      files.push_back(std::move(file));
    } catch (...) {
      commit();
      raise(at);
    }
  }
  commit();
}

XMLDOMDocumentPtr TXMLCursor::Document() const { return document_; }

XMLDOMNode TXMLCursor::CurrentNode() const {
  Sync();
  return current_;
}

std::vector<XMLDOMNode> TXMLCursor::ListedNodes() const {
  Sync();
  if (!list_) return {};
  return list_->Nodes();
}

}  // namespace kalvex
