#include "pivot/cell_map.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace tabulon {

namespace {
// Chunks start small (most tables are small) and double up to 1 MiB.
constexpr std::size_t kFirstChunkBytes = 4096;
constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;
}  // namespace

CellMap::Record CellMap::readRecord(const char* p) {
  uint64_t keyLength, valueLength;
  std::memcpy(&keyLength, p, sizeof keyLength);
  std::memcpy(&valueLength, p + sizeof keyLength, sizeof valueLength);
  const char* key = p + kHeaderBytes;
  return Record{p[2 * sizeof(uint64_t)] != 0, std::string_view(key, keyLength),
                std::string_view(key + keyLength, valueLength), key + keyLength + valueLength};
}

uint32_t CellMap::numberOf(uint64_t hash, std::string_view key) const {
  return table_.find(hash, [&](uint32_t n) { return readRecord(records_[n]).key == key; });
}

std::optional<std::string_view> CellMap::find(std::string_view key) const {
  const uint32_t n = numberOf(hashBytes(key), key);
  if (n == OpenTable::kEmpty) return std::nullopt;
  return readRecord(records_[n]).value;
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
  // Room first, so that a failed charge leaves the map as it was.
  if (records_.size() == records_.capacity()) reserve(records_.empty() ? 16 : 2 * records_.size());
  char* record = appendRecord(key, value);
  const std::size_t fresh = records_.size();
  uint32_t n = OpenTable::kEmpty;
  try {
    n = table_.findOrAdd(hashBytes(key), fresh,
                         [&](uint32_t k) { return readRecord(records_[k]).key == key; });
  } catch (...) {
    retire(record);
    throw;
  }
  if (n == fresh) {
    records_.push_back(record);
  } else {
    retire(records_[n]);  // an earlier value of the same key
    records_[n] = record;
  }
}

void CellMap::reserve(std::size_t n) {
  if (n > records_.capacity()) {
    chargeFootprint((n - records_.capacity()) * sizeof(char*));
    records_.reserve(n);
  }
  table_.reserve(n);
}

void CellMap::chargeFootprint(std::size_t extra) {
  charge_.hold(chunkBytes_ + records_.capacity() * sizeof(char*) + extra);
}

void CellMap::clear() {
  table_.clear();
  std::vector<char*>().swap(records_);
  chunks_.clear();
  chunkBytes_ = 0;
  charge_.hold(0);
}

}  // namespace tabulon
