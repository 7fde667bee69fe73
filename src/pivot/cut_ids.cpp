#include "pivot/cut_ids.h"

#include "pivot/dim_node.h"
#include "pivot/open_table.h"

namespace tabulon {

void CutIds::reset(const RowTable& rows) {
  cut_.assign(rows.columnCount(), {});
  for (std::size_t j = 0; j < rows.columnCount(); ++j) {
    const ColumnTexts& column = rows.column(j);
    if (column.longest() <= DimNode::kMaxNameBytes) continue;
    std::vector<uint32_t>& cut = cut_[j];
    cut.resize(column.size());
    OpenTable firstOfCut;
    for (uint32_t id = 0; id < column.size(); ++id) {
      const std::string_view name = DimNode::cutName(column.text(id));
      cut[id] = firstOfCut.findOrAdd(hashBytes(name), id, [&](uint32_t found) {
        return DimNode::cutName(column.text(found)) == name;
      });
    }
  }
}

}  // namespace tabulon
