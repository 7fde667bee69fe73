#include "pivot/cell_map.h"

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

namespace tabulon {

namespace {
// Chunks start small (most tables are small) and double up to 1 MiB.
constexpr std::size_t kFirstChunkBytes = 4096;
constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;

uint64_t hashKey(std::string_view key) { return std::hash<std::string_view>{}(key); }
}  // namespace

CellMap::Record CellMap::readRecord(const char* p) {
  uint64_t keyLength, valueLength;
  std::memcpy(&keyLength, p, sizeof keyLength);
  std::memcpy(&valueLength, p + sizeof keyLength, sizeof valueLength);
  const char* key = p + kHeaderBytes;
  return Record{p[2 * sizeof(uint64_t)] != 0, std::string_view(key, keyLength),
                std::string_view(key + keyLength, valueLength), key + keyLength + valueLength};
}

std::size_t CellMap::slotFor(uint64_t hash, std::string_view key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.record == nullptr) return i;
    if (slot.hash == hash && readRecord(slot.record).key == key) return i;
  }
}

std::optional<std::string_view> CellMap::find(std::string_view key) const {
  if (count_ == 0) return std::nullopt;
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
    chunk.data.reset(new char[chunk.capacity]);
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
  // Keep the load factor at or below one half.
  if ((count_ + 1) * 2 > slots_.size()) grow(slots_.empty() ? 16 : slots_.size() * 2);
  const uint64_t hash = hashKey(key);
  Slot& slot = slots_[slotFor(hash, key)];
  if (slot.record != nullptr) {
    if (readRecord(slot.record).value == value) return;
    slot.record[2 * sizeof(uint64_t)] = 0;  // the old record is superseded
  } else {
    ++count_;
  }
  slot.hash = hash;
  slot.record = appendRecord(key, value);
}

void CellMap::reserve(std::size_t n) {
  std::size_t wanted = 16;
  while (wanted < n * 2) wanted *= 2;
  if (wanted > slots_.size()) grow(wanted);
}

void CellMap::grow(std::size_t slotCount) {
  std::vector<Slot> old(slotCount);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.record == nullptr) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].record != nullptr) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void CellMap::clear() {
  slots_.clear();
  chunks_.clear();
  count_ = 0;
}

}  // namespace tabulon
