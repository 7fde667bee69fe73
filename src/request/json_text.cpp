#include "request/json_text.h"

#include <json/writer.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

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

constexpr unsigned char kModifiedNulTrail = 0x80;

// True when the C0 at `i` of `text` starts the pair C0 80.
bool isModifiedNul(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == kModifiedNulTrail;
}

// The length of `text` once quoted and escaped.
std::size_t quotedSize(std::string_view text) {
  std::size_t size = text.size() + 2;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char escape = kEscape[static_cast<unsigned char>(text[i])];
    if (escape == 0) continue;
    if (escape == 'c') {
      if (isModifiedNul(text, i)) {
        size += 4;  // two bytes become six
        ++i;
      }
      continue;
    }
    size += escape == 'u' ? 5 : 1;
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

void appendJsonString(std::string& out, std::string_view text) {
  // Sized first, then written through a pointer: a large HTML text costs two
  // tight passes and no reallocation.
  const std::size_t start = out.size();
  out.resize(start + quotedSize(text));
  char* p = &out[start];
  *p++ = '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    unsigned char byte = static_cast<unsigned char>(c);
    char escape = kEscape[byte];
    if (escape == 'c') {
      if (!isModifiedNul(text, i)) {
        *p++ = c;
        continue;
      }
      ++i;
      byte = 0;
      escape = 'u';
    }
    if (escape == 0) {
      *p++ = c;
    } else if (escape == 'u') {
      *p++ = '\\';
      *p++ = 'u';
      *p++ = '0';
      *p++ = '0';
      *p++ = kHexDigits[byte >> 4];
      *p++ = kHexDigits[byte & 0xF];
    } else {
      *p++ = '\\';
      *p++ = escape;
    }
  }
  *p = '"';
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

  // {"req":{...},"ret":{"GridFrame":...,"Html":...}} LF, sized first. Sizes
  // are std::size_t, 64 bits wide: no text is ever cut.
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
  out += kReq;
  for (std::size_t i = 0; i < echo.size(); ++i) {
    if (i != 0) out += ',';
    appendJsonString(out, echo[i]->first);
    out += ':';
    appendJsonString(out, echo[i]->second);
  }
  out += kRet;
  appendJsonString(out, document.gridFrame);
  out += kHtml;
  appendJsonString(out, document.html);
  out += kEnd;
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
