#include "render/html_text.h"

#include <cstring>

namespace tabulon {

namespace {

// The replacement of `c`, or an empty view when `c` is copied as it is.
std::string_view replacementOf(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return std::string_view();
  }
}

}  // namespace

HtmlText htmlTextFor(std::string_view escapeValue) {
  return escapeValue == "Html" ? HtmlText::kEscaped : HtmlText::kRaw;
}

void appendEscapedHtml(std::string& out, std::string_view text) {
  // Runs of plain bytes are copied whole.
  std::size_t plainFrom = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view replacement = replacementOf(text[i]);
    if (replacement.empty()) continue;
    out.append(text.data() + plainFrom, i - plainFrom);
    out.append(replacement.data(), replacement.size());
    plainFrom = i + 1;
  }
  out.append(text.data() + plainFrom, text.size() - plainFrom);
}

char* writeEscapedHtml(char* out, std::string_view text) {
  for (char c : text) {
    const std::string_view replacement = replacementOf(c);
    if (replacement.empty()) {
      *out++ = c;
    } else {
      std::memcpy(out, replacement.data(), replacement.size());
      out += replacement.size();
    }
  }
  return out;
}

std::size_t escapedHtmlSize(std::string_view text) {
  std::size_t size = text.size();
  for (char c : text) {
    const std::string_view replacement = replacementOf(c);
    if (!replacement.empty()) size += replacement.size() - 1;
  }
  return size;
}

}  // namespace tabulon
