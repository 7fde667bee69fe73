// BlockAllocator: a standard allocator whose blocks of a megabyte and more
// come from the block cache (block_cache.h), so that the large tables of a
// request reuse pages that an earlier request faulted in. Smaller blocks
// come from operator new. Blocks are not cleared: std::vector initialises
// what it uses.
#ifndef TABULON_PIVOT_BLOCK_ALLOCATOR_H_
#define TABULON_PIVOT_BLOCK_ALLOCATOR_H_

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

#include "pivot/block_cache.h"

namespace tabulon {

inline constexpr std::size_t kCachedBlockBytes = std::size_t{1} << 20;

template <typename T>
struct BlockAllocator {
  using value_type = T;

  BlockAllocator() = default;
  template <typename U>
  BlockAllocator(const BlockAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kCachedBlockBytes) return static_cast<T*>(::operator new(bytes));
    bool reused = false;
    return static_cast<T*>(block_cache::takeExact(bytes, reused));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kCachedBlockBytes) {
      ::operator delete(p);
    } else {
      block_cache::give(p, bytes);
    }
  }

  template <typename U>
  bool operator==(const BlockAllocator<U>&) const noexcept { return true; }
  template <typename U>
  bool operator!=(const BlockAllocator<U>&) const noexcept { return false; }
};

// A vector whose large arrays come from the block cache.
template <typename T>
using BlockVector = std::vector<T, BlockAllocator<T>>;

}  // namespace tabulon

#endif  // TABULON_PIVOT_BLOCK_ALLOCATOR_H_
