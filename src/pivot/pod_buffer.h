// PodBuffer: a growable array of trivially copyable values for the large
// arrays of the row store. Small buffers live on the heap; from one
// megabyte on a buffer is mapped from the system and grown by remapping,
// so growing never copies and never holds two copies, and the reserved
// but untouched tail costs no resident memory. A mapped buffer lies in
// whole 2 MiB extents, which the system may back with huge pages: filling
// it then costs a fraction of the page faults.
#ifndef TABULON_PIVOT_POD_BUFFER_H_
#define TABULON_PIVOT_POD_BUFFER_H_

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "pivot/byte_copy.h"
#include "pivot/memory_budget.h"

namespace tabulon {

namespace pod_memory {
// Blocks of `bytes`; `mapped` tells how the block was made. Throw
// std::bad_alloc when the system refuses.
void* allocate(std::size_t bytes, bool& mapped);
void* grow(void* block, std::size_t oldBytes, std::size_t newBytes, bool& mapped);
void release(void* block, std::size_t bytes, bool mapped);
}  // namespace pod_memory

template <typename T>
class PodBuffer {
  static_assert(std::is_trivially_copyable<T>::value, "PodBuffer holds plain values");

 public:
  PodBuffer() = default;
  ~PodBuffer() { pod_memory::release(data_, capacity_ * sizeof(T), mapped_); }
  PodBuffer(const PodBuffer& other) { append(other.data_, other.size_); }
  PodBuffer& operator=(const PodBuffer& other) {
    if (this != &other) {
      size_ = 0;
      append(other.data_, other.size_);
    }
    return *this;
  }
  PodBuffer(PodBuffer&& other) noexcept { swap(other); }
  PodBuffer& operator=(PodBuffer&& other) noexcept {
    swap(other);
    return *this;
  }
  void swap(PodBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(mapped_, other.mapped_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }

  void push_back(const T& value) {
    if (size_ == capacity_) reserve(size_ + 1);
    data_[size_++] = value;
  }
  void append(const T* values, std::size_t count) {
    if (count == 0) return;
    if (count > capacity_ - size_) reserve(size_ + count);
    copyBytes(reinterpret_cast<char*>(data_ + size_), reinterpret_cast<const char*>(values),
              count * sizeof(T));
    size_ += count;
  }
  // New values are left unset.
  void resize(std::size_t count) {
    if (count > capacity_) reserve(count);
    size_ = count;
  }
  void clear() { size_ = 0; }
  // Room for `count` values; grows by half again at least.
  void reserve(std::size_t count) {
    if (count <= capacity_) return;
    std::size_t wanted = capacity_ + capacity_ / 2;
    if (wanted < count) wanted = count;
    if (wanted < 8) wanted = 8;
    // The growth stays charged to the request's memory budget.
    chargeMemory((wanted - capacity_) * sizeof(T));
    if (data_ == nullptr) {
      data_ = static_cast<T*>(pod_memory::allocate(wanted * sizeof(T), mapped_));
    } else {
      data_ = static_cast<T*>(
          pod_memory::grow(data_, capacity_ * sizeof(T), wanted * sizeof(T), mapped_));
    }
    capacity_ = wanted;
  }
  // Gives back all memory.
  void release() { PodBuffer().swap(*this); }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool mapped_ = false;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_POD_BUFFER_H_
