#include "pivot/pod_buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "pivot/block_cache.h"

namespace tabulon {
namespace pod_memory {

namespace {
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;
}  // namespace

void* allocate(std::size_t& bytes, bool& mapped) {
  mapped = bytes >= kMappedBytes;
  if (mapped) {
    bool reused = false;
    return block_cache::take(bytes, reused);
  }
  void* block = std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* grow(void* block, std::size_t oldBytes, std::size_t& newBytes, bool& mapped) {
  if (mapped) {
    // A cached block of the new size is worth a copy: its pages are in,
    // where remapping would fault in every new page.
    if (void* cached = block_cache::takeCached(newBytes)) {
      std::memcpy(cached, block, oldBytes);
      block_cache::give(block, oldBytes);
      return cached;
    }
    return block_cache::remap(block, oldBytes, newBytes);
  }
  if (newBytes < kMappedBytes) {
    void* moved = std::realloc(block, newBytes);
    if (moved == nullptr) throw std::bad_alloc();
    return moved;
  }
  bool reused = false;
  void* fresh = block_cache::take(newBytes, reused);
  std::memcpy(fresh, block, oldBytes);
  std::free(block);
  mapped = true;
  return fresh;
}

void release(void* block, std::size_t bytes, bool mapped) {
  if (block == nullptr) return;
  if (mapped) {
    block_cache::give(block, bytes);
  } else {
    std::free(block);
  }
}

}  // namespace pod_memory
}  // namespace tabulon
