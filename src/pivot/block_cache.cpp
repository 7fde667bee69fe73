#include "pivot/block_cache.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>

namespace tabulon {
namespace block_cache {

namespace {

struct Block {
  void* data;
  std::size_t bytes;
};

// A fixed table: giving a block back never allocates.
std::mutex cacheMutex;
Block cachedBlocks[kMaxCachedBlocks];
std::size_t cachedCount = 0;
std::size_t cachedBytes = 0;
std::atomic<bool> keeping{false};

std::size_t pageRounded(std::size_t bytes) {
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// The cached block that fits `bytes` best, taken out of the cache. A block
// more than half again as large is left for a request that needs it: the
// buffers of one request grow through the same sizes as those of the one
// before, and a buffer that took a larger block than it needs would leave
// the next one without.
bool takeCached(std::size_t bytes, Block& found) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  std::size_t best = cachedCount;
  for (std::size_t i = 0; i < cachedCount; ++i) {
    const std::size_t size = cachedBlocks[i].bytes;
    if (size < bytes || size - bytes > bytes / 2) continue;
    if (best == cachedCount || size < cachedBlocks[best].bytes) best = i;
  }
  if (best == cachedCount) return false;
  found = cachedBlocks[best];
  cachedBlocks[best] = cachedBlocks[--cachedCount];
  cachedBytes -= found.bytes;
  return true;
}

}  // namespace

void keepBlocks(bool keep) { keeping.store(keep, std::memory_order_relaxed); }

void* takeCached(std::size_t& bytes) {
  Block found{};
  if (!takeCached(pageRounded(bytes), found)) return nullptr;
  bytes = found.bytes;
  return found.data;
}

void* take(std::size_t& bytes, bool& reused) {
  bytes = pageRounded(bytes);
  Block found{};
  reused = takeCached(bytes, found);
  if (reused) {
    bytes = found.bytes;
    return found.data;
  }
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  return block;
}

void* takeExact(std::size_t bytes, bool& reused) {
  const std::size_t wanted = pageRounded(bytes);
  std::size_t size = wanted;
  void* block = take(size, reused);
  if (size > wanted) munmap(static_cast<char*>(block) + wanted, size - wanted);
  return block;
}

void* remap(void* block, std::size_t bytes, std::size_t newBytes) {
  void* moved = mremap(block, pageRounded(bytes), pageRounded(newBytes), MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) throw std::bad_alloc();
  return moved;
}

void give(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  bytes = pageRounded(bytes);
  if (keeping.load(std::memory_order_relaxed)) {
    std::lock_guard<std::mutex> lock(cacheMutex);
    if (cachedBytes + bytes <= kMaxCachedBytes && cachedCount < kMaxCachedBlocks) {
      cachedBlocks[cachedCount++] = Block{block, bytes};
      cachedBytes += bytes;
      return;
    }
  }
  munmap(block, bytes);
}

void drop() {
  std::lock_guard<std::mutex> lock(cacheMutex);
  for (std::size_t i = 0; i < cachedCount; ++i) munmap(cachedBlocks[i].data, cachedBlocks[i].bytes);
  cachedCount = 0;
  cachedBytes = 0;
}

}  // namespace block_cache
}  // namespace tabulon
