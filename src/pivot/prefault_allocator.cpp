#include "pivot/prefault_allocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

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

void prefaultPages(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes < kPrefaultBytes) return;
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return;
  const uintptr_t page = static_cast<uintptr_t>(pageSize);
  const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + bytes) / page * page;
  if (end <= first) return;
#ifdef MADV_HUGEPAGE
  // Huge pages for the whole 2 MiB extents inside: faulting in a span in
  // huge pages costs a fraction of faulting it in 4 KiB pages.
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const uintptr_t hugeFirst = (first + kHugePage - 1) / kHugePage * kHugePage;
  const uintptr_t hugeEnd = end / kHugePage * kHugePage;
  if (hugeEnd > hugeFirst) madvise(reinterpret_cast<void*>(hugeFirst), hugeEnd - hugeFirst, MADV_HUGEPAGE);
#endif
  // Populating never changes the contents of pages already present.
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)bytes;
#endif
}

}  // namespace tabulon
