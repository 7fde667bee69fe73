#include "pivot/text_index.h"

#include <cstdlib>
#include <new>

#include "pivot/prefault_allocator.h"

namespace tabulon {

namespace {
// From one huge page on, a block is mapped.
constexpr std::size_t kMappedFrom = std::size_t{2} << 20;
}  // namespace

ZeroedBlock::ZeroedBlock(std::size_t bytes) : bytes_(bytes) {
  if (bytes == 0) return;
  data_ = bytes >= kMappedFrom ? mapPrefaulted(bytes) : std::calloc(bytes, 1);
  if (data_ == nullptr) throw std::bad_alloc();
}

ZeroedBlock::ZeroedBlock(const ZeroedBlock& other) : ZeroedBlock(other.bytes_) {
  if (bytes_ != 0) std::memcpy(data_, other.data_, bytes_);
}

ZeroedBlock::~ZeroedBlock() {
  if (data_ == nullptr) return;
  if (bytes_ >= kMappedFrom) {
    unmapPrefaulted(data_, bytes_);
  } else {
    std::free(data_);
  }
}

}  // namespace tabulon
