// The JSON result text of a TransformDocument as a sequence of pieces, so
// that one walk serves every writer of it: the byte text (json_text.h) and
// the UTF-16 text that the JNI edge hands to Java without writing the byte
// text first.
//
// A writer `out` takes out.bytes(run), a run of the text's bytes as they
// are, and out.ascii(c), one ASCII byte of the text; a run never splits a
// byte sequence of the document's texts that the escapes leave whole, and
// every escape is ASCII. The escapes are those of json_text.h.
#ifndef TABULON_REQUEST_JSON_PIECES_H_
#define TABULON_REQUEST_JSON_PIECES_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "request/transform_document.h"

namespace tabulon {
namespace json {

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

inline constexpr std::array<char, 256> kEscape = makeEscapeTable();
inline constexpr char kHexDigits[] = "0123456789ABCDEF";
inline constexpr unsigned char kModifiedNulLead = 0xC0;
inline constexpr unsigned char kModifiedNulTrail = 0x80;

// True when one of the eight bytes of `word` is escaped or is C0: a byte
// below 0x20, '"', '\\' or C0, found a word at a time (the texts are long
// and their escapes tens of bytes apart).
inline bool holdsEscape(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighs = 0x8080808080808080ULL;
  auto zeroByte = [](uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  const uint64_t below20 = (word - kOnes * 0x20) & ~word & kHighs;
  return (below20 | zeroByte(word ^ (kOnes * '"')) | zeroByte(word ^ (kOnes * '\\')) |
          zeroByte(word ^ (kOnes * 0xC0))) != 0;
}

// The first byte at or after `next` (before `end`) that is escaped or C0.
inline const char* nextEscape(const char* next, const char* end) {
  while (end - next >= 8) {
    uint64_t word;
    std::memcpy(&word, next, sizeof word);
    if (holdsEscape(word)) break;
    next += 8;
  }
  while (next < end && kEscape[static_cast<unsigned char>(*next)] == 0) ++next;
  return next;
}

// The length of `text` once quoted and escaped.
std::size_t quotedSize(std::string_view text);

// Writes `text` quoted and escaped to `out`.
template <typename Out>
void writeQuoted(Out& out, std::string_view text) {
  out.ascii('"');
  const char* next = text.data();
  const char* end = next + text.size();
  while (next < end) {
    // A run of bytes copied raw, then one byte that is escaped.
    const char* run = next;
    next = nextEscape(next, end);
    if (next != run) out.bytes(std::string_view(run, static_cast<std::size_t>(next - run)));
    if (next == end) break;
    unsigned char byte = static_cast<unsigned char>(*next++);
    char escape = kEscape[byte];
    if (escape == 'c') {
      if (next == end || static_cast<unsigned char>(*next) != kModifiedNulTrail) {
        out.bytes(std::string_view(next - 1, 1));  // a lone C0 stays raw
        continue;
      }
      ++next;
      byte = 0;
      escape = 'u';
    }
    out.ascii('\\');
    if (escape == 'u') {
      out.ascii('u');
      out.ascii('0');
      out.ascii('0');
      out.ascii(kHexDigits[byte >> 4]);
      out.ascii(kHexDigits[byte & 0xF]);
    } else {
      out.ascii(escape);
    }
  }
  out.ascii('"');
}

// The "req" members of `document` in ascending unsigned byte order of keys.
inline std::vector<const std::pair<std::string, std::string>*> sortedEcho(
    const TransformDocument& document) {
  std::vector<const std::pair<std::string, std::string>*> echo;
  echo.reserve(document.echo.size());
  for (const auto& member : document.echo) echo.push_back(&member);
  std::sort(echo.begin(), echo.end(), [](const auto* a, const auto* b) {
    return std::string_view(a->first) < std::string_view(b->first);  // unsigned bytes
  });
  return echo;
}

inline constexpr std::string_view kReq = "{\"req\":{";
inline constexpr std::string_view kRet = "},\"ret\":{\"GridFrame\":";
inline constexpr std::string_view kHtml = ",\"Html\":";
inline constexpr std::string_view kEnd = "}}\n";

// The byte length of the JSON text of `document`.
std::size_t documentSize(const TransformDocument& document);

// Writes {"req":{echo},"ret":{"GridFrame":...,"Html":...}} and a line feed
// to `out`.
template <typename Out>
void writeDocument(Out& out, const TransformDocument& document) {
  const std::vector<const std::pair<std::string, std::string>*> echo = sortedEcho(document);
  out.bytes(kReq);
  for (std::size_t i = 0; i < echo.size(); ++i) {
    if (i != 0) out.ascii(',');
    writeQuoted(out, echo[i]->first);
    out.ascii(':');
    writeQuoted(out, echo[i]->second);
  }
  out.bytes(kRet);
  writeQuoted(out, document.gridFrame);
  out.bytes(kHtml);
  writeQuoted(out, document.html);
  out.bytes(kEnd);
}

}  // namespace json
}  // namespace tabulon

#endif  // TABULON_REQUEST_JSON_PIECES_H_
