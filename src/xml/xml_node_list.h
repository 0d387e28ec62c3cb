// The list of nodes a cursor walks: either the child nodes of one node (read from the
// tree, so insertions and removals show at once) or the result of an XPath selection
// (from which the nodes that have left the document drop out). Both are looked at again
// only when the document's structure has changed since the last look. A list made
// before the document's content was replaced by a load is stale: its nodes are gone, and
// its owner drops it (Stale()) before asking it anything.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "xml/xml_dom.h"

namespace kalvex {

class XMLNodeList final {
 public:
  ~XMLNodeList() = default;
  XMLNodeList(const XMLNodeList&) = delete;
  XMLNodeList& operator=(const XMLNodeList&) = delete;

  // The child nodes of `parent` (a node, or the document node for the top-level nodes).
  static std::shared_ptr<XMLNodeList> Children(XMLDOMDocumentPtr document, xmlNode* parent);
  // The nodes of a selection, in the order found.
  static std::shared_ptr<XMLNodeList> Selection(XMLDOMDocumentPtr document,
                                                std::vector<xmlNode*> nodes);

  // True once the document's content has been replaced since the list was made.
  bool Stale() const { return epoch_ != document_->epoch(); }

  int32_t Length() const;
  // nullptr outside the list.
  xmlNode* Item(int32_t index) const;
  const std::vector<xmlNode*>& Nodes() const;
  // Position of `node` in the list, -1 when absent.
  int32_t IndexOf(xmlNode* node) const;

 private:
  XMLNodeList(XMLDOMDocumentPtr document, xmlNode* parent, std::vector<xmlNode*> selected);
  void Refresh() const;
  // The nodes of the selection that are, or lie inside, nodes parked since the last look.
  std::vector<xmlNode*> LostNodes() const;

  XMLDOMDocumentPtr document_;
  uint64_t epoch_;                          // the document's epoch when made
  xmlNode* parent_;                         // children list when set
  mutable std::vector<xmlNode*> selected_;  // selection: what is still in the document
  mutable std::unordered_set<xmlNode*> selected_set_;
  mutable size_t parked_seen_ = 0;
  mutable std::vector<xmlNode*> nodes_;
  mutable uint64_t seen_generation_ = 0;
  mutable bool fresh_ = false;
};

}  // namespace kalvex
