// The XML cursor: a record-set view over a DOM document, and the XSL processor beside it.
//
// A cursor walks a list of nodes of one document. One node at a time is current; Next
// advances, Eof tells that the list is exhausted, GetValue/SetValue read and write the
// text of a child element by name, Delete removes the current node, XML and Save give
// the document back. Select makes a new cursor over the nodes an XPath 1.0 expression
// finds from the current node; it shares the document, so an edit through any cursor
// is seen through all of them. Cursors and documents are shared (std::shared_ptr): a
// document lives as long as any cursor refers to it.
//
// Texts are UTF-8 everywhere. Every failure is an XMLException (or, for file writes, an
// IoError) whose message is the text the user sees; a layer that adds context raises an
// error of the same kind whose message is its prefix, CR LF and the inner message.
//
// Nodes removed from a document (Delete, ReplaceWithXMLCursor, SetValue) stay allocated
// until the document's content is replaced or the document goes, so no cursor ever
// holds a dangling node; every cursor's node list drops the nodes that left the
// document. Load and LoadXML free the earlier tree before they read the new one, so
// that the two are never in memory together: every other cursor of the document then
// has no node list and is at end, as a selection that found nothing, and a load that
// fails leaves the document empty.
//
// GetValue, SetValue and Select with a plain element name ("ModeleVersion") walk the
// current node's children instead of evaluating XPath, with the same result; each
// document keeps one XPath context for the expressions that are evaluated.
//
// Cursors keep no locks: a document and all its cursors are used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"

// The DOM underneath is libxml2; its node type is only named here.
struct _xmlNode;

namespace kalvex {

// Errors of the cursor, of the DOM under it and of the XSL processor.
class XMLException : public Error {
 public:
  explicit XMLException(const std::string& message) : Error(message) {}
  // Raises an error of this same kind whose message is prefix + CR LF + this message.
  [[noreturn]] virtual void RaiseWithPrefix(const std::string& prefix) const;
};

// A document that is not well-formed (or a file that cannot be read). The message is
// "Error <code> on line <line>, char <column> in "<source>"" CR LF <source line text>
// CR LF <reason>; the source is empty for parsed text.
class XMLParseException : public XMLException {
 public:
  XMLParseException(int32_t code, int32_t line, int32_t column, std::string source,
                    std::string source_text, std::string reason);
  // The same parse error, reported under a longer message (see RaiseWithPrefix).
  XMLParseException(const XMLParseException& inner, const std::string& message);

  int32_t code() const { return code_; }
  int32_t line() const { return line_; }
  int32_t column() const { return column_; }
  const std::string& source() const { return source_; }
  const std::string& source_text() const { return source_text_; }
  const std::string& reason() const { return reason_; }

  [[noreturn]] void RaiseWithPrefix(const std::string& prefix) const override;

 private:
  int32_t code_;
  int32_t line_;
  int32_t column_;
  std::string source_;
  std::string source_text_;
  std::string reason_;
};

// The shared DOM document of a family of cursors (defined in xml_dom.h).
class XMLDOMDocument;
using XMLDOMDocumentPtr = std::shared_ptr<XMLDOMDocument>;
// A DOM node (libxml2 node; a document node when a selection found the document).
using XMLDOMNode = ::_xmlNode*;

class IXMLCursor;
using XMLCursorPtr = std::shared_ptr<IXMLCursor>;

// The record-set view. Operations that give a cursor give a new one, or nullptr where
// "no cursor" is stated. Eof stands for the end-of-list test (the name EOF is taken
// by the C library).
class IXMLCursor {
 public:
  virtual ~IXMLCursor() = default;

  // Appends element `name` (with `text` when not empty) as last child of the current
  // node and gives a cursor over the current node's children standing on it. On a
  // cursor without document the element becomes the root of a new document and both
  // cursors stand on it. Document but no current node: "TXMLCursor.AppendChild - EOF".
  virtual XMLCursorPtr AppendChild(const std::string& name, const std::string& text) = 0;
  // Appends deep copies of the other cursor's nodes under the current node; on a cursor
  // without document, its single node becomes the root of a new document.
  virtual void AppendXMLCursor(const XMLCursorPtr& other) = 0;
  // Serialisation of the current node's parent ("" without current node).
  virtual std::string ParentXML() const = 0;
  // Length of the node list (0 without one).
  virtual int32_t Count() const = 0;
  // Removes the current node; the cursor then stands on the node that followed it, or
  // on the new last node, or is at end when the list became empty.
  virtual void Delete() = 0;
  // Cursor over the document's top-level nodes; nullptr without document.
  virtual XMLCursorPtr SelectDocument() = 0;
  // True when the list is exhausted or there is no current node.
  virtual bool Eof() const = 0;
  // MoveTo(0).
  virtual void First() = 0;
  // Name of the current node ("#text", "#comment"... for non-elements; "" without one).
  virtual std::string NodeName() const = 0;
  // Text of the first node the XPath `name` finds from the current node; "." is the
  // current node itself. "" when nothing is found or there is no current node.
  virtual std::string GetValue(const std::string& name) const = 0;
  // New element inserted before the current node; nullptr without current node or
  // parent. The cursor given back stands on it.
  virtual XMLCursorPtr InsertBefore(const std::string& name, const std::string& text) = 0;
  // New element inserted after the current node; the cursor given back stands on it.
  virtual XMLCursorPtr InsertAfter(const std::string& name, const std::string& text) = 0;
  // MoveTo(Count() - 1).
  virtual void Last() = 0;
  // Loads a file (decoded by its byte-order mark or declaration) and stands on the root.
  virtual void Load(const std::string& file_name) = 0;
  // Parses UTF-8 text whatever encoding its declaration names; a later Save writes that
  // encoding. Stands on the root.
  virtual void LoadXML(const std::string& text) = 0;
  // LoadXML of a text that XML() gave of this whole document, with nothing changed since.
  // The result is LoadXML's; TXMLCursor keeps the tree when the parse would only give it
  // back (no blank text, no text beside text, no prefix without its namespace).
  virtual void ReloadXML(const std::string& text) { LoadXML(text); }
  // "TXMLCursor.MoveTo - Index out of range: <index>/<count>" outside a non-empty list.
  virtual void MoveTo(int32_t index) = 0;
  // Advances; past the last node the cursor is at end and keeps the last node current.
  virtual void Next() = 0;
  // Position of the current node, -1 for none.
  virtual int32_t Index() const = 0;
  // Puts deep copies of the other cursor's nodes in place of the current node; nothing
  // when the other cursor has no node list. Copies the place cannot take (a second
  // top-level element) are refused before anything changes.
  virtual void ReplaceWithXMLCursor(const XMLCursorPtr& other) = 0;
  // Writes the document in the encoding its declaration names (UTF-8 when none),
  // creating missing folders. `file_name` is in the tool's "\"-separated form.
  virtual void Save(const std::string& file_name) const = 0;
  // Save to each file in turn: the files get the same bytes. Stops at the first
  // failure, with the error Save gives for that file. TXMLCursor serialises once.
  virtual void SaveToFiles(const std::vector<std::string>& file_names) const {
    for (const std::string& file_name : file_names) Save(file_name);
  }
  // Cursor over what `xpath` finds from the current node ("*": all child nodes).
  virtual XMLCursorPtr Select(const std::string& xpath) = 0;
  // Sets (creates or replaces) an attribute of the current element.
  virtual void SetAttribute(const std::string& name, const std::string& value) = 0;
  // Sets the text of the first node `name` finds, appending element `name` when none;
  // "@x" sets attribute x.
  virtual void SetValue(const std::string& name, const std::string& value) = 0;
  // Like SetValue without the "@" rule; a node without content gets a CDATA section.
  virtual void SetCDATA(const std::string& name, const std::string& value) = 0;
  // The current node's markup when it lies below the root element, else the whole
  // document (declaration without encoding, no indentation, no short empty tags).
  virtual std::string XML() const = 0;
  // The shared document (nullptr when none).
  virtual XMLDOMDocumentPtr Document() const = 0;
  // The current node (nullptr when none).
  virtual XMLDOMNode CurrentNode() const = 0;
  // Same as GetValue.
  virtual std::string ReadValue(const std::string& name) const = 0;
  // Same as SetValue.
  virtual void WriteValue(const std::string& name, const std::string& value) = 0;
  // The current node (or document) re-indented; errors "TXMLCursor.PrettyXML - ...".
  virtual std::string PrettyXML() const = 0;
  // New element inserted as first child of the current node; the cursor given back
  // stands on it.
  virtual XMLCursorPtr InsertFirstChild(const std::string& name, const std::string& text) = 0;
  // AppendChild without giving the new cursor.
  virtual void AddChild(const std::string& name, const std::string& text) = 0;

  // Internal node access for other cursors and the XSL processor: the nodes of the
  // list, in order (only those still in the document).
  virtual std::vector<XMLDOMNode> ListedNodes() const = 0;
};

// The XSL processor: a compiled stylesheet and the files it came from.
class IXSLProc {
 public:
  virtual ~IXSLProc() = default;
  // True when every stylesheet file (main, imported, included) still has the last-write
  // time it had at Load, or when up-to-date checking is switched off.
  virtual bool IsUpToDate() const = 0;
  // Loads and compiles a stylesheet file ("\"-separated name), tracking its imports.
  virtual void Load(const std::string& file_name) = 0;
  // Transforms the cursor's current node (when below the root) or its whole document
  // and gives the output as text; "" when cursor is null.
  virtual std::string Process(const XMLCursorPtr& cursor) = 0;
  // Compiles a stylesheet given as UTF-8 text.
  virtual void LoadXML(const std::string& text) = 0;
};
using XSLProcPtr = std::shared_ptr<IXSLProc>;

class XMLNodeList;

// The cursor over a libxml2 document.
class TXMLCursor final : public IXMLCursor {
 public:
  TXMLCursor() = default;
  // A cursor sharing `document`, walking `list`, moved First.
  TXMLCursor(XMLDOMDocumentPtr document, std::shared_ptr<XMLNodeList> list);
  ~TXMLCursor() override;
  TXMLCursor(const TXMLCursor&) = delete;
  TXMLCursor& operator=(const TXMLCursor&) = delete;

  XMLCursorPtr AppendChild(const std::string& name, const std::string& text) override;
  void AppendXMLCursor(const XMLCursorPtr& other) override;
  std::string ParentXML() const override;
  int32_t Count() const override;
  void Delete() override;
  XMLCursorPtr SelectDocument() override;
  bool Eof() const override;
  void First() override;
  std::string NodeName() const override;
  std::string GetValue(const std::string& name) const override;
  XMLCursorPtr InsertBefore(const std::string& name, const std::string& text) override;
  XMLCursorPtr InsertAfter(const std::string& name, const std::string& text) override;
  void Last() override;
  void Load(const std::string& file_name) override;
  void LoadXML(const std::string& text) override;
  void ReloadXML(const std::string& text) override;
  void MoveTo(int32_t index) override;
  void Next() override;
  int32_t Index() const override;
  void ReplaceWithXMLCursor(const XMLCursorPtr& other) override;
  void Save(const std::string& file_name) const override;
  void SaveToFiles(const std::vector<std::string>& file_names) const override;
  XMLCursorPtr Select(const std::string& xpath) override;
  void SetAttribute(const std::string& name, const std::string& value) override;
  void SetValue(const std::string& name, const std::string& value) override;
  void SetCDATA(const std::string& name, const std::string& value) override;
  std::string XML() const override;
  XMLDOMDocumentPtr Document() const override;
  XMLDOMNode CurrentNode() const override;
  std::string ReadValue(const std::string& name) const override;
  void WriteValue(const std::string& name, const std::string& value) override;
  std::string PrettyXML() const override;
  XMLCursorPtr InsertFirstChild(const std::string& name, const std::string& text) override;
  void AddChild(const std::string& name, const std::string& text) override;
  std::vector<XMLDOMNode> ListedNodes() const override;

 private:
  // Drops the node list and the position when the document's content was replaced.
  void Sync() const;
  // Loads what `parse` gives into the document (see Load and LoadXML).
  template <typename Parse>
  void LoadParsed(Parse parse, std::string written_declaration, size_t text_size);
  void EnsureDocument();
  void AfterLoad();
  XMLCursorPtr NewRootCursor(const std::string& name, const std::string& text);
  XMLCursorPtr InsertElement(XMLDOMNode parent, XMLDOMNode before, const std::string& name,
                             const std::string& text, bool stand_first);

  XMLDOMDocumentPtr document_;
  mutable std::shared_ptr<XMLNodeList> list_;
  mutable int32_t index_ = -1;
  mutable XMLDOMNode current_ = nullptr;
  mutable bool end_ = true;
};

// A new, empty cursor: no document, no list, index -1, at end.
XMLCursorPtr CreateXMLCursor();
// A new XSL processor without stylesheet.
XSLProcPtr CreateXSLProc();

// Process-wide switch of IXSLProc::IsUpToDate checking (on by default).
void SetXSLUpToDateChecking(bool on);
bool XSLUpToDateChecking();

}  // namespace kalvex
