#include "request/json_text.h"

#include <json/writer.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "pivot/byte_copy.h"
#include "pivot/memory_budget.h"
#include "pivot/prefault_allocator.h"
#include "request/json_pieces.h"

namespace tabulon {

namespace {

std::string_view stringOf(const Json::Value& value) {
  const char* begin = nullptr;
  const char* end = nullptr;
  if (!value.getString(&begin, &end)) return std::string_view();
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

// For each byte: the bytes it adds once escaped (the pair C0 80 is counted
// apart).
constexpr std::array<unsigned char, 256> makeExtraTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const char escape = json::kEscape[c];
    table[c] = escape == 0 || escape == 'c' ? 0 : escape == 'u' ? 5 : 1;
  }
  return table;
}

constexpr std::array<unsigned char, 256> kExtra = makeExtraTable();

// The members of an object in ascending unsigned byte order of their keys.
std::vector<std::pair<std::string_view, const Json::Value*>> sortedMembers(
    const Json::Value& object) {
  std::vector<std::pair<std::string_view, const Json::Value*>> members;
  members.reserve(object.size());
  for (auto it = object.begin(); it != object.end(); ++it) {
    const char* end = nullptr;
    const char* begin = it.memberName(&end);
    members.emplace_back(std::string_view(begin, static_cast<std::size_t>(end - begin)), &*it);
  }
  std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
    // memcmp compares as unsigned char; on a common prefix the shorter key
    // comes first.
    const std::size_t common = std::min(a.first.size(), b.first.size());
    const int order = common == 0 ? 0 : std::memcmp(a.first.data(), b.first.data(), common);
    return order != 0 ? order < 0 : a.first.size() < b.first.size();
  });
  return members;
}

// An upper bound of the text size for strings and containers, a guess for
// the rest: only used to reserve the output once.
std::size_t sizeHint(const Json::Value& value) {
  switch (value.type()) {
    case Json::stringValue:
      return json::quotedSize(stringOf(value));
    case Json::arrayValue:
    case Json::objectValue: {
      std::size_t size = 2 + value.size();
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (value.isObject()) {
          const char* end = nullptr;
          const char* begin = it.memberName(&end);
          size += json::quotedSize(std::string_view(begin, static_cast<std::size_t>(end - begin)));
        }
        size += sizeHint(*it);
      }
      return size;
    }
    default:
      return 32;
  }
}

// Writes the pieces of a JSON text at `at`, which has room for them.
struct ByteWriter {
  char* at;
  void bytes(std::string_view run) { at = copyBytes(at, run.data(), run.size()); }
  void ascii(char c) { *at++ = c; }
};

}  // namespace

std::size_t json::quotedSize(std::string_view text) {
  std::size_t size = text.size() + 2;
  const char* next = text.data();
  const char* end = next + text.size();
  while ((next = nextEscape(next, end)) < end) {
    const auto byte = static_cast<unsigned char>(*next++);
    size += kExtra[byte];
    if (byte == kModifiedNulLead && next < end && static_cast<unsigned char>(*next) == kModifiedNulTrail) {
      size += 4;  // two bytes become six
      ++next;
    }
  }
  return size;
}

std::size_t json::documentSize(const TransformDocument& document) {
  // Sizes are std::size_t, 64 bits wide: no text is ever cut.
  static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t), "64-bit sizes");
  std::size_t size = kReq.size() + kRet.size() + kHtml.size() + kEnd.size();
  for (const auto& member : document.echo) {
    size += quotedSize(member.first) + 1 + quotedSize(member.second) + 1;  // ':' and ','
  }
  if (!document.echo.empty()) --size;  // no ',' after the last member
  return size + quotedSize(document.gridFrame) + quotedSize(document.html);
}

void appendJsonString(std::string& out, std::string_view text) {
  // Sized first, then written through a pointer: a large HTML text costs two
  // tight passes and no reallocation.
  const std::size_t start = out.size();
  out.resize(start + json::quotedSize(text));
  ByteWriter writer{&out[start]};
  json::writeQuoted(writer, text);
}

void appendJson(std::string& out, const Json::Value& value) {
  switch (value.type()) {
    case Json::nullValue:
      out += "null";
      break;
    case Json::intValue:
      out += Json::valueToString(value.asLargestInt());
      break;
    case Json::uintValue:
      out += Json::valueToString(value.asLargestUInt());
      break;
    case Json::realValue:
      out += Json::valueToString(value.asDouble());
      break;
    case Json::booleanValue:
      out += value.asBool() ? "true" : "false";
      break;
    case Json::stringValue:
      appendJsonString(out, stringOf(value));
      break;
    case Json::arrayValue: {
      out += '[';
      for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        if (i != 0) out += ',';
        appendJson(out, value[i]);
      }
      out += ']';
      break;
    }
    case Json::objectValue: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : sortedMembers(value)) {
        if (!first) out += ',';
        first = false;
        appendJsonString(out, key);
        out += ':';
        appendJson(out, *member);
      }
      out += '}';
      break;
    }
  }
}

std::string jsonText(const TransformDocument& document) {
  // {"req":{...},"ret":{"GridFrame":...,"Html":...}} LF, sized first and
  // then written once through a pointer.
  const std::size_t size = json::documentSize(document);
  chargeMemory(size);
  std::string out;
  out.reserve(size);
  prefaultPages(out.data(), out.capacity());
  out.resize(size);
  ByteWriter writer{out.data()};
  json::writeDocument(writer, document);
  return out;
}

std::string jsonText(const Json::Value& root) {
  std::string out;
  out.reserve(sizeHint(root) + 1);
  prefaultPages(out.data(), out.capacity());
  appendJson(out, root);
  out += '\n';
  return out;
}

}  // namespace tabulon
