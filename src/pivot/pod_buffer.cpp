#include "pivot/pod_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace tabulon {
namespace pod_memory {

namespace {
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A mapped block spans whole 2 MiB extents from a 2 MiB boundary, so that
// the kernel can back each with one huge page (advised, a hint): a block
// written from end to end then takes one fault per 2 MiB instead of one per
// 4 KiB. An extent gets a huge page only when it lies wholly inside the
// block before its first byte is written; the untouched tail costs no
// memory, and rounding up costs less than a megabyte a block.
std::size_t pages(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

void* map(std::size_t bytes) {
  const std::size_t length = pages(bytes);
  const std::size_t span = length + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = aligned + length;
  if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

// Grows a mapped block in place when the space past it is free; else moves
// its pages to a fresh aligned block, which keeps its huge pages whole.
void* remap(void* block, std::size_t oldBytes, std::size_t newBytes) {
  if (pages(newBytes) == pages(oldBytes)) return block;
  if (mremap(block, pages(oldBytes), pages(newBytes), 0) != MAP_FAILED) return block;
  void* target = map(newBytes);
  void* moved =
      mremap(block, pages(oldBytes), pages(newBytes), MREMAP_MAYMOVE | MREMAP_FIXED, target);
  if (moved == MAP_FAILED) {
    munmap(target, pages(newBytes));
    throw std::bad_alloc();
  }
  return moved;
}
}  // namespace

void* allocate(std::size_t bytes, bool& mapped) {
  mapped = bytes >= kMappedBytes;
  if (mapped) return map(bytes);
  void* block = std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* grow(void* block, std::size_t oldBytes, std::size_t newBytes, bool& mapped) {
  if (mapped) return remap(block, oldBytes, newBytes);
  if (newBytes < kMappedBytes) {
    void* moved = std::realloc(block, newBytes);
    if (moved == nullptr) throw std::bad_alloc();
    return moved;
  }
  void* fresh = map(newBytes);
  std::memcpy(fresh, block, oldBytes);
  std::free(block);
  mapped = true;
  return fresh;
}

void release(void* block, std::size_t bytes, bool mapped) {
  if (block == nullptr) return;
  if (mapped) {
    munmap(block, pages(bytes));
  } else {
    std::free(block);
  }
}

}  // namespace pod_memory
}  // namespace tabulon
