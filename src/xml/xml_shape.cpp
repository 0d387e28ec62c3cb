#include "xml/xml_shape.h"

#include <iterator>

#include "xml/xml_dom.h"

namespace kalvex {

namespace {

XMLElementName ElementName(xmlNode* element) {
  return {xmldom::NodeName(element), element->ns != nullptr};
}

xmlNode* RootElement(const IXMLCursor& document) {
  const XMLDOMDocumentPtr dom = document.Document();
  return dom ? xmlDocGetRootElement(dom->doc()) : nullptr;
}

}  // namespace

bool XMLElementName::FoundBy(std::string_view test) const {
  return !in_namespace && !test.empty() && name == test;
}

std::vector<std::string> ChildElementNames(const IXMLCursor& cursor) {
  std::vector<std::string> names;
  xmlNode* node = cursor.CurrentNode();
  if (node == nullptr) return names;
  for (xmlNode* child = node->children; child != nullptr; child = child->next)
    if (child->type == XML_ELEMENT_NODE) names.push_back(xmldom::NodeName(child));
  return names;
}

XMLTopLevel TopLevelOf(const IXMLCursor& document) {
  XMLTopLevel top;
  xmlNode* root = RootElement(document);
  if (root == nullptr) return top;
  top.root = ElementName(root);
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    // What may stand outside a root: comments, instructions, white space (kept where
    // xml:space="preserve" asks for it).
    if (child->type == XML_COMMENT_NODE || child->type == XML_PI_NODE) continue;
    if (child->type == XML_TEXT_NODE && xmlIsBlankNode(child) != 0) continue;
    if (child->type == XML_ELEMENT_NODE)
      top.children.emplace_back(ElementName(child));
    else
      top.children.emplace_back(std::nullopt);
  }
  return top;
}

std::optional<std::string> FirstElementOutside(const IXMLCursor& document,
                                               std::initializer_list<std::string_view> names,
                                               std::initializer_list<std::string_view> ancestors) {
  const XMLDOMDocumentPtr dom = document.Document();
  if (!dom) return std::nullopt;
  xmlNode* stray = xmldom::FirstElementBelow(dom->doc_node(), [&](const xmlNode* element) {
    bool written = false;
    for (std::string_view name : names) written = written || xmldom::WrittenAs(element, name);
    if (!written) return false;
    const xmlNode* above = element->parent;
    for (auto test = std::rbegin(ancestors); test != std::rend(ancestors); ++test) {
      if (!xmldom::FoundByNameTest(above, *test)) return true;
      above = above->parent;
    }
    return false;
  });
  if (stray == nullptr) return std::nullopt;
  return xmldom::NodeName(stray);
}

XMLSpanTags SpanTagsOf(const IXMLCursor& cursor, std::string_view start_name,
                       std::string_view end_name) {
  xmlNode* node = cursor.CurrentNode();
  if (node == nullptr) return {};
  return xmldom::SpanTagsOf(node, start_name, end_name);
}

}  // namespace kalvex
