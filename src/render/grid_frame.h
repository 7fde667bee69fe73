// GridFrame layout text: a one-line description of a cross-tab's row
// titles and column header tree, e.g.
//   row:[Region,City],col:[2019[Sales],2020[Sales]]
// renderGridFrame writes it from a finished CrossTab; applyGridFrame reads
// it back into the header nodes of a CrossTab in place of the automatic
// layout. The reader accepts any text: it never fails, never recurses and
// runs in time linear in the text's length. The writer walks the tree with
// an explicit stack, so trees of any depth are written without recursion.
#ifndef TABULON_RENDER_GRID_FRAME_H_
#define TABULON_RENDER_GRID_FRAME_H_

#include <string>
#include <string_view>

#include "pivot/cross_tab.h"

namespace tabulon {

// The GridFrame text of `tab`: "row:" + row side + "," + "col:" + column side.
std::string renderGridFrame(const CrossTab& tab);
// One side, "[...]", of `node`; `nested` writes children in brackets.
// `axis` is passed to orderedMembers ("Row" or "Col").
std::string gridFrameSide(const CrossTab& tab, const DimNode* node, bool nested,
                          std::string_view axis);
// Fills "列头" and "行维" from `text` and rebuilds "列维" from the header.
// A text without "row:" or without "col:" changes nothing.
void applyGridFrame(CrossTab& tab, std::string_view text);
// Builds the children of `parent` from one side of a GridFrame text.
// Standard exceptions are dropped; the nodes built until then stay.
// std::bad_alloc (memory exhaustion) reaches the caller.
void parseGridFrameSide(DimNode* parent, std::string_view side);

}  // namespace tabulon

#endif  // TABULON_RENDER_GRID_FRAME_H_
