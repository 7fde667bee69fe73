#include "pivot/cell_map.h"

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

namespace tabulon {

namespace {
// Chunks start small (most tables are small) and double up to 1 MiB.
constexpr std::size_t kFirstChunkBytes = 4096;
constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;
// Slot tables of at least this many bytes are mapped prefaulted.
constexpr std::size_t kMappedSlotBytes = std::size_t{2} << 20;
// Staged inserts are ordered by the top bits of their slot index.
constexpr unsigned kOrderBits = 12;

uint64_t hashKey(std::string_view key) { return std::hash<std::string_view>{}(key); }

unsigned log2Of(std::size_t powerOfTwo) {
  unsigned bits = 0;
  while ((std::size_t{1} << bits) < powerOfTwo) ++bits;
  return bits;
}
}  // namespace

CellMap::~CellMap() { releaseSlots(slots_, slotCount_); }

CellMap::Slot* CellMap::allocateSlots(std::size_t count) {
  const std::size_t bytes = count * sizeof(Slot);
  if (bytes < kMappedSlotBytes) return new Slot[count]();
  return static_cast<Slot*>(mapPrefaulted(bytes));
}

void CellMap::releaseSlots(Slot* slots, std::size_t count) {
  if (slots == nullptr) return;
  const std::size_t bytes = count * sizeof(Slot);
  if (bytes < kMappedSlotBytes) {
    delete[] slots;
  } else {
    unmapPrefaulted(slots, bytes);
  }
}

CellMap::Record CellMap::readRecord(const char* p) {
  uint64_t keyLength, valueLength;
  std::memcpy(&keyLength, p, sizeof keyLength);
  std::memcpy(&valueLength, p + sizeof keyLength, sizeof valueLength);
  const char* key = p + kHeaderBytes;
  return Record{p[2 * sizeof(uint64_t)] != 0, std::string_view(key, keyLength),
                std::string_view(key + keyLength, valueLength), key + keyLength + valueLength};
}

std::size_t CellMap::slotFor(uint64_t hash, std::string_view key) const {
  const std::size_t mask = slotCount_ - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.record == nullptr) return i;
    if (slot.hash == hash && readRecord(slot.record).key == key) return i;
  }
}

std::optional<std::string_view> CellMap::find(std::string_view key) const {
  if (size() == 0) return std::nullopt;
  const Slot& slot = slots_[slotFor(hashKey(key), key)];
  if (slot.record == nullptr) return std::nullopt;
  return readRecord(slot.record).value;
}

std::string_view CellMap::at(std::string_view key) const {
  std::optional<std::string_view> value = find(key);
  if (!value) throw std::out_of_range("no cell " + std::string(key));
  return *value;
}

char* CellMap::appendRecord(std::string_view key, std::string_view value) {
  const std::size_t bytes = kHeaderBytes + key.size() + value.size();
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < bytes) {
    Chunk chunk;
    std::size_t size = chunks_.empty() ? kFirstChunkBytes : chunks_.back().capacity * 2;
    if (size > kMaxChunkBytes) size = kMaxChunkBytes;
    chunk.capacity = bytes > size ? bytes : size;
    chargeFootprint(chunk.capacity);
    chunk.data.reset(new char[chunk.capacity]);
    chunkBytes_ += chunk.capacity;
    chunks_.push_back(std::move(chunk));
  }
  Chunk& chunk = chunks_.back();
  char* p = chunk.data.get() + chunk.used;
  const uint64_t keyLength = key.size(), valueLength = value.size();
  std::memcpy(p, &keyLength, sizeof keyLength);
  std::memcpy(p + sizeof keyLength, &valueLength, sizeof valueLength);
  p[2 * sizeof(uint64_t)] = 1;
  if (!key.empty()) std::memcpy(p + kHeaderBytes, key.data(), key.size());
  if (!value.empty()) std::memcpy(p + kHeaderBytes + key.size(), value.data(), value.size());
  chunk.used += bytes;
  return p;
}

void CellMap::insert_or_assign(std::string_view key, std::string_view value) {
  staged_.push_back(Slot{hashKey(key), appendRecord(key, value)});
}

void CellMap::enter(const Slot& staged) {
  // Records are read only on a full hash match, so entering a new key
  // touches the slot table alone.
  const std::size_t mask = slotCount_ - 1;
  for (std::size_t i = staged.hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.record == nullptr) {
      ++count_;
      slot = staged;
      return;
    }
    if (slot.hash == staged.hash &&
        readRecord(slot.record).key == readRecord(staged.record).key) {
      retire(slot.record);  // an earlier value of the same key
      slot = staged;
      return;
    }
  }
}

void CellMap::flush() const {
  if (staged_.empty()) return;
  auto& self = const_cast<CellMap&>(*this);  // staged_ and the table are one state
  SlotList staged;
  staged.swap(staged_);
  self.reserveSlots(count_ + staged.size());

  // A stable counting sort by the top bits of the slot index keeps later
  // values of one key after earlier ones, so the last value wins as if each
  // had been entered at once.
  const unsigned indexBits = log2Of(slotCount_);
  const unsigned shift = indexBits > kOrderBits ? indexBits - kOrderBits : 0;
  const std::size_t mask = slotCount_ - 1;
  if (shift == 0 || staged.size() < (std::size_t{1} << kOrderBits)) {
    for (const Slot& s : staged) self.enter(s);
    return;
  }
  std::vector<std::size_t> starts((std::size_t{1} << kOrderBits) + 1, 0);
  for (const Slot& s : staged) ++starts[((s.hash & mask) >> shift) + 1];
  for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
  SlotList ordered(staged.size());
  for (const Slot& s : staged) ordered[starts[(s.hash & mask) >> shift]++] = s;
  staged = {};
  for (const Slot& s : ordered) self.enter(s);
}

void CellMap::reserve(std::size_t n) {
  if (n > count_ + staged_.size()) {
    chargeFootprint((n - count_) * sizeof(Slot));
    staged_.reserve(n - count_);
  }
  reserveSlots(n);
}

void CellMap::reserveSlots(std::size_t n) {
  std::size_t wanted = 16;
  while (wanted / 4 * 3 < n) wanted *= 2;  // at most three quarters full
  if (wanted > slotCount_) grow(wanted);
}

void CellMap::chargeFootprint(std::size_t extra) const {
  charge_.hold(chunkBytes_ + slotCount_ * sizeof(Slot) + staged_.capacity() * sizeof(Slot) + extra);
}

void CellMap::grow(std::size_t slotCount) {
  chargeFootprint(slotCount * sizeof(Slot));
  Slot* fresh = allocateSlots(slotCount);
  const std::size_t mask = slotCount - 1;
  for (std::size_t k = 0; k < slotCount_; ++k) {
    const Slot& slot = slots_[k];
    if (slot.record == nullptr) continue;
    std::size_t i = slot.hash & mask;
    while (fresh[i].record != nullptr) i = (i + 1) & mask;
    fresh[i] = slot;
  }
  releaseSlots(slots_, slotCount_);
  slots_ = fresh;
  slotCount_ = slotCount;
  chargeFootprint(0);
}

void CellMap::clear() {
  releaseSlots(slots_, slotCount_);
  slots_ = nullptr;
  slotCount_ = 0;
  chunks_.clear();
  chunkBytes_ = 0;
  staged_ = SlotList();
  count_ = 0;
  charge_.hold(0);
}

}  // namespace tabulon
