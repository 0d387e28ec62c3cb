// What a check of a document's shape asks of the tree under a cursor, in names and
// plain values: the element children of a node, what stands under the root, the first
// element found in the wrong place, and where a node's serialisation holds two tags.
// The checks that use them never walk the DOM themselves.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml_cursor.h"

namespace kalvex {

// An element as a name test sees it.
struct XMLElementName {
  std::string name;           // the DOM's name, prefix included, as a message shows it
  bool in_namespace = false;  // in a namespace, a default one included
  // True when the XPath name test `test` without prefix finds the element: that name,
  // in no namespace.
  bool FoundBy(std::string_view test) const;
};

// The DOM names of the element children of the cursor's current node, in order (none
// without a current node).
std::vector<std::string> ChildElementNames(const IXMLCursor& cursor);

// The root element of the cursor's document and what stands directly under it, in
// order, leaving out comments, processing instructions and text holding only white
// space; a node that is no element (other text, a CDATA section) is given as nullopt.
struct XMLTopLevel {
  std::optional<XMLElementName> root;  // none without document or root element
  std::vector<std::optional<XMLElementName>> children;
};
XMLTopLevel TopLevelOf(const IXMLCursor& document);

// The DOM name of the first element of the cursor's document, in document order, whose
// tags are written as one of `names` (that name, no prefix) and whose parent,
// grandparent... are not elements that the name tests `ancestors` find (given nearest
// last: {"document", "DataVOS", "DataVO"}); nullopt when there is none.
std::optional<std::string> FirstElementOutside(const IXMLCursor& document,
                                               std::initializer_list<std::string_view> names,
                                               std::initializer_list<std::string_view> ancestors);

// Where the serialisation of a node holds the start tag "<" + start_name + ">" and the
// end tag "</" + end_name + ">", told from the tree: known is false when the subtree
// holds a CDATA section, a comment or a processing instruction, whose text may hold
// either tag.
struct XMLSpanTags {
  bool known = true;
  bool has_start = false;        // the start tag is written at least once
  bool start_after_end = false;  // a start tag is written after the last end tag
};
// The same for the cursor's current node (known and nothing found without one).
XMLSpanTags SpanTagsOf(const IXMLCursor& cursor, std::string_view start_name,
                       std::string_view end_name);

}  // namespace kalvex
