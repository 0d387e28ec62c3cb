#include "xml/xml_node_list.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace kalvex {

XMLNodeList::XMLNodeList(XMLDOMDocumentPtr document, xmlNode* parent,
                         std::vector<xmlNode*> selected)
    : document_(std::move(document)),
      epoch_(document_->epoch()),
      parent_(parent),
      selected_(std::move(selected)) {}

std::shared_ptr<XMLNodeList> XMLNodeList::Children(XMLDOMDocumentPtr document, xmlNode* parent) {
  return std::shared_ptr<XMLNodeList>(new XMLNodeList(std::move(document), parent, {}));
}

std::shared_ptr<XMLNodeList> XMLNodeList::Selection(XMLDOMDocumentPtr document,
                                                    std::vector<xmlNode*> nodes) {
  return std::shared_ptr<XMLNodeList>(
      new XMLNodeList(std::move(document), nullptr, std::move(nodes)));
}

std::vector<xmlNode*> XMLNodeList::LostNodes() const {
  const std::vector<xmlNode*>& parked = document_->parked();
  std::vector<xmlNode*> lost;
  std::vector<xmlNode*> pending;
  for (size_t i = parked_seen_; i < parked.size(); ++i) {
    pending.assign(1, parked[i]);
    while (!pending.empty()) {
      xmlNode* node = pending.back();
      pending.pop_back();
      if (selected_set_.count(node) != 0) lost.push_back(node);
      if (node->type == XML_ELEMENT_NODE)
        for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next)
          pending.push_back(reinterpret_cast<xmlNode*>(attr));
      if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE)
        for (xmlNode* child = node->children; child != nullptr; child = child->next)
          pending.push_back(child);
    }
  }
  return lost;
}

void XMLNodeList::Refresh() const {
  if (fresh_ && seen_generation_ == document_->generation()) return;
  if (parent_ != nullptr) {
    nodes_.clear();
    for (xmlNode* child = parent_->children; child != nullptr; child = child->next)
      nodes_.push_back(child);
  } else if (!fresh_) {
    // A node that left the document never comes back: it leaves the selection for good.
    std::erase_if(selected_, [this](xmlNode* node) { return !document_->Contains(node); });
    selected_set_ = std::unordered_set<xmlNode*>(selected_.begin(), selected_.end());
    nodes_ = selected_;
  } else {
    // Only removals take nodes out of a selection, and only those in the removed
    // subtrees; most removals (replaced texts, other sections) touch none of them.
    std::vector<xmlNode*> lost = LostNodes();
    if (!lost.empty()) {
      std::unordered_set<xmlNode*> gone(lost.begin(), lost.end());
      std::erase_if(selected_, [&gone](xmlNode* node) { return gone.count(node) != 0; });
      for (xmlNode* node : lost) selected_set_.erase(node);
      nodes_ = selected_;
    }
  }
  parked_seen_ = document_->parked().size();
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
