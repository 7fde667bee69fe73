#include "pivot/pod_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace tabulon {
namespace pod_memory {

namespace {
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;
constexpr std::size_t kPage = 4096;

std::size_t pages(std::size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }

void* map(std::size_t bytes) {
  void* block = mmap(nullptr, pages(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  return block;
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
  if (mapped) {
    void* moved = mremap(block, pages(oldBytes), pages(newBytes), MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    return moved;
  }
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
