// Plain HTML table: the rows of a CrossTab as a flat table, one table row
// per input row, used when the header has no separator column strictly
// inside it. Cells and names are copied byte for byte, or escaped with
// HtmlText::kEscaped (html_text.h).
#ifndef TABULON_RENDER_PLAIN_TABLE_H_
#define TABULON_RENDER_PLAIN_TABLE_H_

#include <string>

#include "pivot/cross_tab.h"
#include "render/html_text.h"

namespace tabulon {

// The flat table of `tab.rows()`: header names (but the separator's) as head
// cells, every row unequal to the header as a body row, cells whose text
// equals the separator text left out. Empty text when the separator column
// lies strictly inside the header (the cross-tab applies then).
std::string renderPlainTable(const CrossTab& tab, HtmlText text = HtmlText::kRaw);

}  // namespace tabulon

#endif  // TABULON_RENDER_PLAIN_TABLE_H_
