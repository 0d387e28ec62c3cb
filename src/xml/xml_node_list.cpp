#include "xml/xml_node_list.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace kalvex {

XMLNodeList::XMLNodeList(XMLDOMDocumentPtr document, xmlNode* parent,
                         std::vector<xmlNode*> selected)
    : document_(std::move(document)), parent_(parent), selected_(std::move(selected)) {}

std::shared_ptr<XMLNodeList> XMLNodeList::Children(XMLDOMDocumentPtr document, xmlNode* parent) {
  return std::shared_ptr<XMLNodeList>(new XMLNodeList(std::move(document), parent, {}));
}

std::shared_ptr<XMLNodeList> XMLNodeList::Selection(XMLDOMDocumentPtr document,
                                                    std::vector<xmlNode*> nodes) {
  return std::shared_ptr<XMLNodeList>(
      new XMLNodeList(std::move(document), nullptr, std::move(nodes)));
}

void XMLNodeList::Refresh() const {
  if (fresh_ && seen_generation_ == document_->generation()) return;
  if (parent_ != nullptr) {
    nodes_.clear();
    for (xmlNode* child = parent_->children; child != nullptr; child = child->next)
      nodes_.push_back(child);
  } else {
    // A node that left the document never comes back, so it leaves the selection for good.
    std::erase_if(selected_, [this](xmlNode* node) { return !document_->Contains(node); });
    nodes_ = selected_;
  }
  seen_generation_ = document_->generation();
  fresh_ = true;
}

int32_t XMLNodeList::Length() const {
  Refresh();
  return static_cast<int32_t>(std::min<size_t>(nodes_.size(), INT32_MAX));
}

xmlNode* XMLNodeList::Item(int32_t index) const {
  Refresh();
  if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) return nullptr;
  return nodes_[static_cast<size_t>(index)];
}

const std::vector<xmlNode*>& XMLNodeList::Nodes() const {
  Refresh();
  return nodes_;
}

int32_t XMLNodeList::IndexOf(xmlNode* node) const {
  Refresh();
  auto it = std::find(nodes_.begin(), nodes_.end(), node);
  return it == nodes_.end() ? -1 : static_cast<int32_t>(it - nodes_.begin());
}

}  // namespace kalvex
