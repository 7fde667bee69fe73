#include "pivot/prefault_allocator.h"

#include <sys/mman.h>

namespace tabulon {

void* mapPrefaulted(std::size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  // Both are hints: a kernel that refuses them only costs speed.
#ifdef MADV_HUGEPAGE
  madvise(p, bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  madvise(p, bytes, MADV_POPULATE_WRITE);
#endif
  return p;  // anonymous pages come zero-filled
}

void unmapPrefaulted(void* block, std::size_t bytes) { munmap(block, bytes); }

}  // namespace tabulon
