// Memory for large arrays that are about to be written whole (hash tables,
// staging lists): mapped directly from the system with all pages faulted in
// by one call, instead of one trap per page on first touch, and with
// transparent huge pages where the system offers them.
//
// PrefaultAllocator maps blocks of kPrefaultBytes and more, the size above
// which the C library maps every block itself (fresh for each request);
// smaller blocks come from operator new and are reused from the heap.
#ifndef TABULON_PIVOT_PREFAULT_ALLOCATOR_H_
#define TABULON_PIVOT_PREFAULT_ALLOCATOR_H_

#include <cstddef>
#include <limits>
#include <new>

namespace tabulon {

inline constexpr std::size_t kPrefaultBytes = std::size_t{32} << 20;

// Zero-filled memory of `bytes` (best a few megabytes or more), or
// std::bad_alloc. Released with unmapPrefaulted.
void* mapPrefaulted(std::size_t bytes);
void unmapPrefaulted(void* block, std::size_t bytes);

// Faults in the whole pages within [begin, begin + bytes) of memory that the
// caller owns and is about to write (the reserved tail of a large output
// text, say), leaving their contents as they are, in huge pages where the
// system offers them. Only spans of kPrefaultBytes or more are worth the
// call; a hint that may do nothing.
void prefaultPages(void* begin, std::size_t bytes);

// A standard allocator over mapPrefaulted for blocks of kPrefaultBytes and
// more (std::vector<T, PrefaultAllocator<T>>).
template <typename T>
struct PrefaultAllocator {
  using value_type = T;

  PrefaultAllocator() = default;
  template <typename U>
  PrefaultAllocator(const PrefaultAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kPrefaultBytes) return static_cast<T*>(::operator new(bytes));
    return static_cast<T*>(mapPrefaulted(bytes));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kPrefaultBytes) {
      ::operator delete(p);
    } else {
      unmapPrefaulted(p, bytes);
    }
  }

  template <typename U>
  bool operator==(const PrefaultAllocator<U>&) const noexcept { return true; }
  template <typename U>
  bool operator!=(const PrefaultAllocator<U>&) const noexcept { return false; }
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_PREFAULT_ALLOCATOR_H_
