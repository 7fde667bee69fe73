// How the renderers write data-derived texts (member names, titles, measure
// names, values) into the HTML: raw, byte for byte (the default), or with
// the five markup characters escaped so that a page may show any data:
// & -> "&amp;", < -> "&lt;", > -> "&gt;", " -> "&quot;", ' -> "&#39;".
// Every other byte, UTF-8 sequences of any length included, is copied
// unchanged. The renderers pick the mode once per table and write through
// appendHtmlText<Mode>, so the raw path costs what a plain append costs.
#ifndef TABULON_RENDER_HTML_TEXT_H_
#define TABULON_RENDER_HTML_TEXT_H_

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "pivot/byte_copy.h"

namespace tabulon {

enum class HtmlText { kRaw, kEscaped };

// The longest replacement ("&quot;"): an escaped text is at most this many
// times as long as the text.
inline constexpr std::size_t kMaxHtmlEscapeGrowth = 6;

// The mode that an Escape option value asks for: only "Html" escapes.
HtmlText htmlTextFor(std::string_view escapeValue);

// Appends `text` with the five markup characters replaced.
void appendEscapedHtml(std::string& out, std::string_view text);

// The bytes appendEscapedHtml writes for `text`.
std::size_t escapedHtmlSize(std::string_view text);

// Writes what appendEscapedHtml appends at `out`, which has room for
// escapedHtmlSize(text) bytes; returns the end of what it wrote.
char* writeEscapedHtml(char* out, std::string_view text);

template <HtmlText Mode>
inline void appendHtmlText(std::string& out, std::string_view text) {
  if constexpr (Mode == HtmlText::kEscaped) {
    appendEscapedHtml(out, text);
  } else {
    out.append(text.data(), text.size());
  }
}

// `text` at `out`, with room for htmlTextSize<Mode>(text) bytes; returns
// the end of what it wrote.
template <HtmlText Mode>
inline char* writeHtmlText(char* out, std::string_view text) {
  if constexpr (Mode == HtmlText::kEscaped) {
    return writeEscapedHtml(out, text);
  } else {
    return copyBytes(out, text.data(), text.size());
  }
}

template <HtmlText Mode>
inline std::size_t htmlTextSize(std::string_view text) {
  if constexpr (Mode == HtmlText::kEscaped) {
    return escapedHtmlSize(text);
  } else {
    return text.size();
  }
}

}  // namespace tabulon

#endif  // TABULON_RENDER_HTML_TEXT_H_
