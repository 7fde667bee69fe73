#include "render/plain_table.h"

namespace tabulon {

namespace {

template <HtmlText Mode>
void writePlainTable(const CrossTab& tab, RowRef header, std::string& out) {
  out +=
      "<Table class=\"gridTable\" border=1 cellspacing=\"0\" cellpadding=\"5\">\n"
      "<thead><tr>\n";
  for (std::string_view name : header) {
    if (name == tab.options().separate) continue;
    out += "<td class='rowhdr'>";
    appendHtmlText<Mode>(out, name);
    out += "</td>";
  }
  out += "</tr>\n    </thead>\n";
  out += "<tbody>\n";
  for (const RowRef row : tab.rows()) {
    if (sameRow(row, header)) continue;
    out += "<tr>";
    for (std::string_view cell : row) {
      if (cell == tab.options().separate) continue;
      out += "<td>";
      appendHtmlText<Mode>(out, cell);
      out += "</td>";
    }
    out += "</tr>\n";
  }
  out += "</tbody>\n</Table>\n";
}

}  // namespace

std::string renderPlainTable(const CrossTab& tab, HtmlText text) {
  static const RowTable kNoRows{Row()};
  const RowRef header = tab.rows().empty() ? kNoRows[0] : tab.rows()[0];
  const long long s = findSeparatorColumn(header, tab.options().separate);
  const long long n = static_cast<long long>(header.size());
  if (0 < s && s < n - 1) return std::string();

  std::string out;
  if (text == HtmlText::kEscaped) {
    writePlainTable<HtmlText::kEscaped>(tab, header, out);
  } else {
    writePlainTable<HtmlText::kRaw>(tab, header, out);
  }
  return out;
}

}  // namespace tabulon
