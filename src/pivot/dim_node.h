// DimNode: one node of the cross-tab's dimension tree.
//
// A node has a name of at most kMaxNameBytes bytes (longer names are cut
// byte-wise, so a multi-byte character may be split), a span (its leaf
// count, kept current on every change) and its children in insertion order
// with a hashed lookup by name. A node owns its whole subtree; the parent
// link is not owning. Destroying or clearing a subtree is iterative, so a
// tree of any depth is released without deep recursion.
#ifndef TABULON_PIVOT_DIM_NODE_H_
#define TABULON_PIVOT_DIM_NODE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabulon {

class DimNode {
 public:
  static constexpr std::size_t kMaxNameBytes = 49;

  DimNode();                                // the root, named "ROOT"
  explicit DimNode(std::string_view name);  // name cut to 49 bytes
  ~DimNode();

  DimNode(const DimNode&) = delete;
  DimNode& operator=(const DimNode&) = delete;

  // The stored name (at most 49 bytes; may hold any byte but NUL).
  std::string_view name() const { return std::string_view(name_, nameLength_); }
  // The member sort key of the name (memberSortKey), made on first use and
  // kept, so that every ordering of one request shares it.
  std::string_view sortKey() const;
  // Leaf count: 0 without children, else the sum over the children of
  // max(child span, 1).
  int32_t span() const { return span_; }
  DimNode* parent() const { return parent_; }
  const std::vector<DimNode*>& children() const { return children_; }

  // The child whose stored name equals `name` cut to 49 bytes, or null.
  DimNode* findChild(std::string_view name) const;
  // Appends `child` (owned from now on; its name must not be present yet).
  DimNode* addChild(DimNode* child);
  // The child named `name` (cut to 49 bytes), created and appended if absent.
  DimNode* getOrAddChild(std::string_view name);
  // Destroys every descendant; the node keeps its name and place.
  void clearChildren();

  // `text` cut to the name limit, as every name comparison sees it.
  static std::string_view cutName(std::string_view text) {
    return text.substr(0, text.size() < kMaxNameBytes ? text.size() : kMaxNameBytes);
  }

 private:
  void setName(std::string_view name);
  // Walks up from this node after its span changed from `oldSpan`, adjusting
  // each ancestor by the change of this node's contribution; stops as soon
  // as a contribution is unchanged.
  void propagateSpanChange(int32_t oldSpan);

  char name_[kMaxNameBytes + 1];
  mutable bool hasSortKey_ = false;
  mutable std::string sortKey_;
  uint8_t nameLength_ = 0;
  int32_t span_ = 0;
  DimNode* parent_ = nullptr;
  // Small levels are searched linearly; the hashed index is built once a
  // level grows past kIndexThreshold children. Its keys view name_.
  static constexpr std::size_t kIndexThreshold = 8;
  std::unique_ptr<std::unordered_map<std::string_view, DimNode*>> childIndex_;
  std::vector<DimNode*> children_;  // owning
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_DIM_NODE_H_
