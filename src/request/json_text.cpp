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

namespace tabulon {

namespace {

// For each byte: 0 when it is copied raw, 'u' when it is written as \u00XX,
// 'c' for the lead byte C0, which with a following 80 (U+0000 as the JVM
// writes it) is written as \u0000 and alone is copied raw; otherwise the
// letter that follows the backslash.
constexpr std::array<char, 256> makeEscapeTable() {
  std::array<char, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = 'u';
  table[0xC0] = 'c';
  table['"'] = '"';
  table['\\'] = '\\';
  table['\b'] = 'b';
  table['\f'] = 'f';
  table['\n'] = 'n';
  table['\r'] = 'r';
  table['\t'] = 't';
  return table;
}

constexpr std::array<char, 256> kEscape = makeEscapeTable();
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string_view stringOf(const Json::Value& value) {
  const char* begin = nullptr;
  const char* end = nullptr;
  if (!value.getString(&begin, &end)) return std::string_view();
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

constexpr unsigned char kModifiedNulLead = 0xC0;
constexpr unsigned char kModifiedNulTrail = 0x80;

// For each byte: the bytes it adds once escaped (the pair C0 80 is counted
// apart).
constexpr std::array<unsigned char, 256> makeExtraTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const char escape = kEscape[c];
    table[c] = escape == 0 || escape == 'c' ? 0 : escape == 'u' ? 5 : 1;
  }
  return table;
}

constexpr std::array<unsigned char, 256> kExtra = makeExtraTable();

// The length of `text` once quoted and escaped.
std::size_t quotedSize(std::string_view text) {
  std::size_t size = text.size() + 2;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  for (; p < end; ++p) {
    size += kExtra[*p];
    if (*p == kModifiedNulLead && p + 1 < end && p[1] == kModifiedNulTrail) {
      size += 4;  // two bytes become six
      ++p;
    }
  }
  return size;
}

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
      return quotedSize(stringOf(value));
    case Json::arrayValue:
    case Json::objectValue: {
      std::size_t size = 2 + value.size();
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (value.isObject()) {
          const char* end = nullptr;
          const char* begin = it.memberName(&end);
          size += quotedSize(std::string_view(begin, static_cast<std::size_t>(end - begin)));
        }
        size += sizeHint(*it);
      }
      return size;
    }
    default:
      return 32;
  }
}

}  // namespace

namespace {

// Writes `text` quoted and escaped at `p`, which has room for
// quotedSize(text) bytes; returns the end of what it wrote.
char* writeQuoted(char* p, std::string_view text) {
  *p++ = '"';
  const char* next = text.data();
  const char* end = next + text.size();
  while (next < end) {
    // A run of bytes copied raw, then one byte that is escaped.
    const char* run = next;
    while (next < end && kEscape[static_cast<unsigned char>(*next)] == 0) ++next;
    p = copyBytes(p, run, static_cast<std::size_t>(next - run));
    if (next == end) break;
    unsigned char byte = static_cast<unsigned char>(*next++);
    char escape = kEscape[byte];
    if (escape == 'c') {
      if (next == end || static_cast<unsigned char>(*next) != kModifiedNulTrail) {
        *p++ = static_cast<char>(byte);  // a lone C0 stays raw
        continue;
      }
      ++next;
      byte = 0;
      escape = 'u';
    }
    *p++ = '\\';
    if (escape == 'u') {
      *p++ = 'u';
      *p++ = '0';
      *p++ = '0';
      *p++ = kHexDigits[byte >> 4];
      *p++ = kHexDigits[byte & 0xF];
    } else {
      *p++ = escape;
    }
  }
  *p++ = '"';
  return p;
}

char* writeRaw(char* p, std::string_view text) {
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  // Sized first, then written through a pointer: a large HTML text costs two
  // tight passes and no reallocation.
  const std::size_t start = out.size();
  out.resize(start + quotedSize(text));
  writeQuoted(&out[start], text);
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
  std::vector<const std::pair<std::string, std::string>*> echo;
  echo.reserve(document.echo.size());
  for (const auto& member : document.echo) echo.push_back(&member);
  std::sort(echo.begin(), echo.end(), [](const auto* a, const auto* b) {
    return std::string_view(a->first) < std::string_view(b->first);  // unsigned bytes
  });

  // {"req":{...},"ret":{"GridFrame":...,"Html":...}} LF, sized first and
  // then written once through a pointer. Sizes are std::size_t, 64 bits
  // wide: no text is ever cut.
  static_assert(sizeof(std::size_t) >= sizeof(std::uint64_t), "64-bit sizes");
  constexpr std::string_view kReq = "{\"req\":{";
  constexpr std::string_view kRet = "},\"ret\":{\"GridFrame\":";
  constexpr std::string_view kHtml = ",\"Html\":";
  constexpr std::string_view kEnd = "}}\n";
  std::size_t size = kReq.size() + kRet.size() + kHtml.size() + kEnd.size();
  for (const auto* member : echo) {
    size += quotedSize(member->first) + 1 + quotedSize(member->second) + 1;  // ':' and ','
  }
  if (!echo.empty()) --size;  // no ',' after the last member
  size += quotedSize(document.gridFrame) + quotedSize(document.html);
  chargeMemory(size);

  std::string out;
  out.reserve(size);
  prefaultPages(out.data(), out.capacity());
  out.resize(size);
  char* p = out.data();
  p = writeRaw(p, kReq);
  for (std::size_t i = 0; i < echo.size(); ++i) {
    if (i != 0) *p++ = ',';
    p = writeQuoted(p, echo[i]->first);
    *p++ = ':';
    p = writeQuoted(p, echo[i]->second);
  }
  p = writeRaw(p, kRet);
  p = writeQuoted(p, document.gridFrame);
  p = writeRaw(p, kHtml);
  p = writeQuoted(p, document.html);
  writeRaw(p, kEnd);
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
