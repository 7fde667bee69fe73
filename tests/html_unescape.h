// Undoes the five replacements of Escape=Html, left to right. The markup
// that the renderers write holds no "&", so this touches escaped data only.
#ifndef TABULON_TESTS_HTML_UNESCAPE_H_
#define TABULON_TESTS_HTML_UNESCAPE_H_

#include <string>
#include <utility>

namespace tabulon {

inline std::string unescapeHtml(const std::string& html) {
  static const std::pair<std::string, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < html.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (html.compare(i, entity.size(), entity) == 0) {
        out += c;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += html[i++];
  }
  return out;
}

}  // namespace tabulon

#endif  // TABULON_TESTS_HTML_UNESCAPE_H_
