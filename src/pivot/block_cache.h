// Large memory blocks mapped from the system and kept between requests.
//
// The kernel hands out fresh pages one trap at a time and zeroes each one;
// for a request that builds hundreds of megabytes of arrays that costs as
// much as the work itself, and a process that transforms again and again
// would pay it on every call. Blocks given back here stay mapped, their
// pages faulted in, and serve the next blocks asked for.
//
// Keeping blocks pays in a process that makes many requests (a JVM) and
// only raises the peak of one that makes a single request (the command):
// it is off until keepBlocks(true), and then blocks given back stay mapped
// instead of being unmapped at once.
//
// Process-wide and thread-safe. The cache holds at most kMaxCachedBytes in
// at most kMaxCachedBlocks blocks; a block given back past that is unmapped.
// A block taken from the cache keeps its old contents. Block sizes are
// multiples of the page size.
#ifndef TABULON_PIVOT_BLOCK_CACHE_H_
#define TABULON_PIVOT_BLOCK_CACHE_H_

#include <cstddef>

namespace tabulon {
namespace block_cache {

inline constexpr std::size_t kMaxCachedBytes = std::size_t{512} << 20;
inline constexpr std::size_t kMaxCachedBlocks = 256;

// Turns keeping given-back blocks on or off (off: every block given back is
// unmapped; blocks kept so far stay until taken or dropped).
void keepBlocks(bool keep);

// A block of at least `bytes`; `bytes` becomes its size. A cached block
// when one fits (no more than half again as large), else a fresh mapping;
// `reused` tells which. Throws std::bad_alloc when the system refuses.
void* take(std::size_t& bytes, bool& reused);

// A cached block that fits `bytes` as take says, `bytes` becoming its size;
// null when none fits.
void* takeCached(std::size_t& bytes);

// The same as take, but the block is exactly `bytes` rounded up to whole pages
// (the tail of a larger cached block is unmapped).
void* takeExact(std::size_t bytes, bool& reused);

// Grows or shrinks block `block` of `bytes` to `newBytes` (both as take
// gave them or as remap made them), keeping its contents; it may move.
void* remap(void* block, std::size_t bytes, std::size_t newBytes);

// Gives back block `block` of `bytes`.
void give(void* block, std::size_t bytes);

// Unmaps every cached block (for tests and for callers that want the
// memory back).
void drop();

}  // namespace block_cache
}  // namespace tabulon

#endif  // TABULON_PIVOT_BLOCK_CACHE_H_
