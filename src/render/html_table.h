// HTML cross-tab table: the "Html" text of a transform.
//
// renderHtml writes the head (upper column header rows with the logo cell,
// then the title row with the row dimension titles and the column leaves)
// and the body (row members with row spans, then one value cell per column
// leaf). It falls back to the plain table (plain_table.h) when the header
// has no inner separator column, and to a fixed message for fewer than two
// rows. Names, titles and values are copied byte for byte, or with
// HtmlText::kEscaped with their markup characters escaped (html_text.h);
// the fixed texts and the numbers of the markup are the same either way.
//
// The text is written into one growing string in time linear in the size
// of the output. Each column path is built once; each row path grows and
// shrinks along the depth-first walk of the row tree, which keeps an
// explicit stack, so a row tree of any depth renders without recursion.
// The body's values are found by one sequential pass over the cell map,
// matched against the (few) row and column paths, when that is exact and
// cheaper than one hash lookup per cell; otherwise cell by cell.
#ifndef TABULON_RENDER_HTML_TABLE_H_
#define TABULON_RENDER_HTML_TABLE_H_

#include <string>
#include <vector>

#include "pivot/cross_tab.h"
#include "render/html_text.h"

namespace tabulon {

// The whole HTML text of `tab`, the plain table, or the too-few-rows
// message. A standard exception raised while the cross-tab is written ends
// the text with "运行时产生错误:" + message + LF; std::bad_alloc (memory
// exhaustion) is not caught and reaches the caller.
std::string renderHtml(const CrossTab& tab, HtmlText text = HtmlText::kRaw);

// The value cells of the body row of `rowLeaf`, one per column leaf in the
// given order: "<td> value</td>", or "<td>  </td>" for a missing key.
std::string renderDataCells(const CrossTab& tab, const DimNode* rowLeaf,
                            const std::vector<const DimNode*>& columnLeaves,
                            HtmlText text = HtmlText::kRaw);

}  // namespace tabulon

#endif  // TABULON_RENDER_HTML_TABLE_H_
