#include "pivot/dim_node.h"

#include <cstring>

#include "pivot/memory_budget.h"
#include "pivot/member_order.h"

namespace tabulon {

namespace {
// What a child adds to its parent's span: a leaf still covers one cell.
int32_t contribution(int32_t span) { return span == 0 ? 1 : span; }
}  // namespace

DimNode::DimNode() { setName("ROOT"); }

DimNode::DimNode(std::string_view name) { setName(name); }

std::string_view DimNode::sortKey() const {
  if (!hasSortKey_) {
    sortKey_ = memberSortKey(name());
    hasSortKey_ = true;
  }
  return sortKey_;
}

DimNode::~DimNode() { clearChildren(); }

void DimNode::setName(std::string_view name) {
  std::memset(name_, 0, sizeof(name_));
  std::string_view cut = cutName(name);
  // An empty text may come with no bytes behind it at all.
  if (!cut.empty()) std::memcpy(name_, cut.data(), cut.size());
  nameLength_ = static_cast<uint8_t>(cut.size());
}

DimNode* DimNode::findChild(std::string_view name) const {
  const std::string_view cut = cutName(name);
  if (childIndex_) {
    auto it = childIndex_->find(cut);
    return it == childIndex_->end() ? nullptr : it->second;
  }
  for (DimNode* child : children_) {
    if (child->name() == cut) return child;
  }
  return nullptr;
}

DimNode* DimNode::addChild(DimNode* child) {
  // Nodes stay charged until the request ends, also when a tree is cleared.
  try {
    chargeMemory(sizeof(DimNode) + 2 * sizeof(DimNode*));
  } catch (...) {
    delete child;
    throw;
  }
  child->parent_ = this;
  children_.push_back(child);
  if (childIndex_) {
    childIndex_->emplace(child->name(), child);
  } else if (children_.size() > kIndexThreshold) {
    childIndex_ = std::make_unique<std::unordered_map<std::string_view, DimNode*>>();
    childIndex_->reserve(children_.size() * 2);
    for (DimNode* c : children_) childIndex_->emplace(c->name(), c);
  }
  int32_t oldSpan = span_;
  span_ += contribution(child->span_);
  propagateSpanChange(oldSpan);
  return child;
}

DimNode* DimNode::getOrAddChild(std::string_view name) {
  if (DimNode* found = findChild(name)) return found;
  return addChild(new DimNode(name));
}

void DimNode::clearChildren() {
  if (children_.empty()) return;
  // Iterative teardown: detach each node's children before deleting it, so
  // its destructor finds nothing left to release.
  std::vector<DimNode*> pending;
  pending.swap(children_);
  childIndex_.reset();
  while (!pending.empty()) {
    DimNode* node = pending.back();
    pending.pop_back();
    pending.insert(pending.end(), node->children_.begin(), node->children_.end());
    node->children_.clear();
    node->childIndex_.reset();
    node->parent_ = nullptr;
    delete node;
  }
  int32_t oldSpan = span_;
  span_ = 0;
  propagateSpanChange(oldSpan);
}

void DimNode::propagateSpanChange(int32_t oldSpan) {
  DimNode* node = this;
  int32_t delta = contribution(node->span_) - contribution(oldSpan);
  while (delta != 0 && node->parent_ != nullptr) {
    DimNode* up = node->parent_;
    int32_t upOld = up->span_;
    up->span_ += delta;
    delta = contribution(up->span_) - contribution(upOld);
    node = up;
  }
}

}  // namespace tabulon
