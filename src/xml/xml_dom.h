// The DOM under the cursor: a libxml2 document shared by a family of cursors, and the
// one place where libxml2 is called and its failures become XMLExceptions.
//
// No cursor ever reaches a freed node. What leaves the tree (removed nodes, replaced
// texts) is unlinked and parked here until the document's content is replaced by a load,
// or the document goes. A load frees the earlier tree, parked nodes included, and starts
// a new epoch: node lists made before it are stale from then on and show no node.
// Every change of the tree's structure bumps a generation number so that node lists
// know when to look again.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/xml_cursor.h"
#include "xml/xml_shape.h"

namespace kalvex {

struct XmlDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocHandle = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// A node that is not (yet) in a tree.
struct XmlNodeDeleter {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
using XmlNodeHandle = std::unique_ptr<xmlNode, XmlNodeDeleter>;

struct XPathContextDeleter {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};

class XMLDOMDocument {
 public:
  // A new, empty document (no declaration, no root).
  XMLDOMDocument();
  ~XMLDOMDocument();
  XMLDOMDocument(const XMLDOMDocument&) = delete;
  XMLDOMDocument& operator=(const XMLDOMDocument&) = delete;

  xmlDoc* doc() const { return doc_.get(); }
  // The document node, as a node (the parent of the top-level nodes).
  xmlNode* doc_node() const { return reinterpret_cast<xmlNode*>(doc_.get()); }

  // Puts a freshly parsed tree in place of the current one, frees the old tree and
  // every node parked from it, and starts a new epoch.
  void ReplaceContent(XmlDocHandle parsed);
  // Keeps the tree as the content of a new load: frees the parked nodes and starts a
  // new epoch, as ReplaceContent does.
  void RenewContent();
  // Unlinks the node from the tree and keeps it until the content is replaced.
  void Park(xmlNode* node);
  // Records a change made without Park (insertions, a text node's new content).
  void Touch() { ++generation_; }
  uint64_t generation() const { return generation_; }

  // Every node parked so far, in the order parked.
  const std::vector<xmlNode*>& parked() const { return parked_; }
  // How many times the content was replaced by a load: nodes of an earlier epoch are
  // gone.
  uint64_t epoch() const { return epoch_; }

  // True when the node is part of the current tree (reaches the document node).
  bool Contains(xmlNode* node) const;

  // Prefix/URI pairs usable in XPath expressions (the root element's declarations).
  const std::vector<std::pair<std::string, std::string>>& namespaces() const { return namespaces_; }
  void set_namespaces(std::vector<std::pair<std::string, std::string>> ns);

  // The XPath context of the current content, made on first use with the namespace
  // table registered and kept for every later evaluation; made again after a load or
  // a change of the table.
  xmlXPathContext* XPathContext();

  // About how long the document's text is: the length of the text or file last parsed
  // into it or of its last serialisation (0 when unknown). Serialisations make room for
  // that much at once.
  size_t text_size() const { return text_size_; }
  void set_text_size(size_t size) { text_size_ = size; }

  // Records that the whole document was just serialised into a text of `size` bytes;
  // IsUnchangedSince tells whether a text of that size is still what it would give.
  void NoteSerialised(size_t size) { serialised_ = {epoch_, generation_, size}; }
  bool IsUnchangedSince(const std::string& text) const {
    return serialised_.epoch == epoch_ && serialised_.generation == generation_ &&
           serialised_.size == text.size();
  }

  // The XML declaration exactly as the parsed text wrote it ("" when it had none or
  // came from a file); Save writes it back as written.
  const std::string& written_declaration() const { return written_declaration_; }
  void set_written_declaration(std::string text) { written_declaration_ = std::move(text); }

 private:
  void FreeParked();

  XmlDocHandle doc_;
  std::vector<xmlNode*> parked_;
  std::vector<std::pair<std::string, std::string>> namespaces_;
  std::unique_ptr<xmlXPathContext, XPathContextDeleter> xpath_;
  uint64_t generation_ = 0;
  uint64_t epoch_ = 0;
  size_t text_size_ = 0;
  std::string written_declaration_;
  struct {
    uint64_t epoch = UINT64_MAX;
    uint64_t generation = 0;
    size_t size = 0;
  } serialised_;
};

namespace xmldom {

// Parses text as UTF-8 whatever its declaration says; the declared encoding is kept on
// the document for Save. nullptr when the parser failed without an error code. Text
// nodes holding only white space are dropped unless drop_blank_text is false.
// A document type declaration ("<!DOCTYPE") is a parse error (code XML_ERR_USER_STOP,
// at its place) unless accept_doctype: the cursor's documents never declare entities,
// whose references would silently vanish from their text. Parse errors quote at most
// about 200 characters of the faulty line, around the place of the fault.
XmlDocHandle ParseText(const std::string& text, bool drop_blank_text, bool accept_doctype);
XmlDocHandle ParseText(const std::string& text);  // drops blank text, refuses a DOCTYPE

// True when ParseText of the document's own serialisation would give back this very
// tree: it has no DTD and holds no blank text outside xml:space="preserve" (the parse
// drops it), no text node right after another (the parse joins them), no text written
// unescaped, no CDATA section holding "]]>" (written as two), no character the parser
// refuses and no prefixed name without its namespace (the parse refuses it).
bool ReparseGivesSameTree(xmlDoc* doc);
// Gives the document the version, encoding and standalone flag that ParseText(text)
// sets, and no address, for a text whose declaration heads it as SerializeDocument
// writes it.
void TakeDeclarationOf(xmlDoc* doc, const std::string& text);
// Parses a file ("\"-separated name), decoded by byte-order mark or declaration. A file
// that cannot be read gives a parse error too (code XML_IO_LOAD_ERROR, line 0). Only a
// regular file is read: anything else is a read error at once.
XmlDocHandle ParseFile(const std::string& file_name, bool drop_blank_text, bool accept_doctype);
XmlDocHandle ParseFile(const std::string& file_name);  // drops blank text, refuses a DOCTYPE

// The DOM's name of a node: element/attribute names, "#text", "#cdata-section",
// "#comment", "#document", processing-instruction targets.
std::string NodeName(xmlNode* node);
// The DOM parent: none for the document node and for attributes.
xmlNode* DomParent(xmlNode* node);
// Text of a node: character data of the node and all its descendants.
std::string NodeText(xmlNode* node);
// Replaces the node's content by one text (none when empty); removed children are parked.
void SetNodeText(XMLDOMDocument& document, xmlNode* node, const std::string& value);

// The nodes `xpath` finds with `context` as context node, in document order. A plain
// element name (see IsPlainChildName) is answered by walking the context's children,
// with the same result as the XPath evaluation.
std::vector<xmlNode*> SelectNodes(XMLDOMDocument& document, xmlNode* context,
                                  const std::string& xpath);
// The first of them, or nullptr.
xmlNode* SelectFirst(XMLDOMDocument& document, xmlNode* context, const std::string& xpath);
// The same two, always through the XPath evaluation.
std::vector<xmlNode*> EvaluateXPath(XMLDOMDocument& document, xmlNode* context,
                                    const std::string& xpath);

// True when the element's tags are written with `name`: it has that name and no prefix
// (no namespace, or a default one).
bool WrittenAs(const xmlNode* element, std::string_view name);
// True for an element that an XPath name test without prefix ("name") finds: that name,
// in no namespace.
bool FoundByNameTest(const xmlNode* node, std::string_view name);

// The first element below `node`, in document order, for which `match` is true. The
// parser's depth limit keeps the recursion short, as for DropBlankText.
template <typename Match>
xmlNode* FirstElementBelow(xmlNode* node, const Match& match) {
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (match(child)) return child;
    if (xmlNode* found = FirstElementBelow(child, match)) return found;
  }
  return nullptr;
}

// Where the serialisation of `node` (as SerializeNode writes it) holds the start tag
// "<" + start_name + ">" and the end tag "</" + end_name + ">" (see XMLSpanTags).
XMLSpanTags SpanTagsOf(xmlNode* node, std::string_view start_name, std::string_view end_name);

// True for a name that XPath reads as child::name and that can be matched byte for
// byte: an NCName of ASCII letters, digits, "_", "-" and "." starting with a letter or
// "_". Other names (prefixed, non-ASCII, expressions) go through XPath.
bool IsPlainChildName(std::string_view name);

// A new, empty document without declaration.
XmlDocHandle NewEmptyDocument();
// A new element of the document holding `text` (nothing when empty); the name must be
// a valid XML name.
XmlNodeHandle NewElement(xmlDoc* doc, const std::string& name, const std::string& text = "");
// A new CDATA section holding `value`.
XmlNodeHandle NewCData(xmlDoc* doc, const std::string& value);
// The value of an element's attribute; false when it has none of that name.
bool GetAttribute(xmlNode* element, const std::string& name, std::string* value);
// Sets an attribute of an element (created or replaced).
void SetAttribute(XMLDOMDocument& document, xmlNode* element, const std::string& name,
                  const std::string& value);
// A deep copy of `node` made for `doc`, ready to be inserted under an element.
XmlNodeHandle CopyForInsert(xmlNode* node, xmlDoc* doc);
// A new document whose only top-level node is a deep copy of `node`.
XmlDocHandle StandaloneCopy(xmlNode* node);
// Inserts `child` under `parent` before `before` (appends when before is nullptr) and
// gives the node that holds it afterwards (adjacent texts merge).
xmlNode* InsertChild(XMLDOMDocument& document, xmlNode* parent, XmlNodeHandle child,
                     xmlNode* before);

// Fails, as InsertChild would, when `copies` cannot all take the place of `leaving`
// under `parent` (a document holds one element at most).
void CheckCanReplace(xmlNode* parent, xmlNode* leaving, const std::vector<XmlNodeHandle>& copies);

// Serialisation of one node: UTF-8, no indentation, no short empty tags.
std::string SerializeNode(xmlNode* node);
// Serialisation of the document: its declaration (without encoding) when it has one.
// Written straight into the text given back, without intermediate copies; room is made
// at once for about `expected_size` bytes (0: the text grows as it is written).
std::string SerializeDocument(xmlDoc* doc, size_t expected_size = 0);
// The bytes of the document for a file, in its declared encoding (UTF-8 when none);
// characters the encoding cannot hold are written as character references. A declaration
// given in `written_declaration` heads the bytes as written (it names the same encoding).
std::string EncodeDocument(xmlDoc* doc, const std::string& written_declaration = {});
// The same bytes handed to `sink` in pieces as they are made (about a mebibyte each),
// so that the whole file never has to be in memory. An exception of the sink stops the
// serialisation and comes out of this call.
using ByteSink = std::function<void(std::string_view)>;
void EncodeDocumentTo(xmlDoc* doc, const std::string& written_declaration, const ByteSink& sink);

// The XML declaration at the very start of a text, as written ("<?xml" up to "?>"), or
// "" when the text does not start with one.
std::string LeadingDeclaration(std::string_view text);

// The message of a parse error, as the user sees it.
std::string ParseErrorMessage(int32_t code, int32_t line, int32_t column, const std::string& source,
                              const std::string& source_text, const std::string& reason);

}  // namespace xmldom
}  // namespace kalvex
