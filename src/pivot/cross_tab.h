// CrossTab: the pivot model of one request.
//
// It owns the input rows (row 0 = column names), the cell map and, by
// value, the root of the dimension tree with its fixed skeleton
// "指标维" / "列维" / "列头" / "行维". The caller hands the rows and the
// options to transform(); the renderers then read the tree, the cells and
// the rows. One CrossTab serves one request on one thread.
#ifndef TABULON_PIVOT_CROSS_TAB_H_
#define TABULON_PIVOT_CROSS_TAB_H_

#include <string>
#include <string_view>
#include <vector>

#include "pivot/aggregation.h"
#include "pivot/cell_table.h"
#include "pivot/cut_ids.h"
#include "pivot/dim_node.h"
#include "pivot/pivot_options.h"
#include "pivot/row_groups.h"
#include "pivot/row_table.h"

namespace tabulon {

// Splits `text` at every `delimiter` (never empty) into `items`, keeping
// empty items; the last item loses trailing bytes while it holds a CR or LF.
// Returns the number of items (at most INT_MAX); an empty text gives none.
int split(std::string_view text, std::string_view delimiter, std::vector<std::string>& items);

// The last index of `header` whose text equals `separate`, or -1. Throws
// std::length_error for a header of more than INT_MAX texts.
int findSeparatorColumn(const Row& header, std::string_view separate);
int findSeparatorColumn(const RowRef& header, std::string_view separate);

// True when both rows have the same number of texts and equal texts.
inline bool sameRow(const RowRef& a, const RowRef& b) { return a == b; }

// A full row: at least as many texts as the header and not a copy of it.
// Only full rows fill cells and take part in totals.
inline bool isFullRow(const RowRef& row, const RowRef& header) {
  return row.size() >= header.size() && !sameRow(row, header);
}

class CrossTab {
 public:
  CrossTab();
  CrossTab(const CrossTab&) = delete;
  CrossTab& operator=(const CrossTab&) = delete;

  // The entry point: takes `table` as the rows (row 0 = column names) and
  // `options`, then (with two or more rows) places the measures, appends
  // the totals that options.sumOption asks for and builds the tree and the
  // cells. Cells of earlier transforms on this CrossTab stay readable.
  void transform(RowTable table, const PivotOptions& options);

  // What the renderers, the request writer and tests read.
  const RowTable& rows() const { return rows_; }
  const CellTable& cells() const { return cells_; }
  const DimNode& root() const { return root_; }
  const PivotOptions& options() const { return options_; }

  // Totals (totals.cpp), stages that also run on their own: passes that
  // append total rows to the rows.
  void appendRowTotals(const RowTable& list);
  void appendColumnTotals(const RowTable& list);
  // The rows of `list` (row 0 = header) summed by group, as the header row
  // followed by one row per group.
  RowTable sumGroups(const RowTable& list) const;

  // Display order of the descendants of `node` at `depth` (1 = children) on
  // the axis named by `axis` ("Row" exactly = row axis; anything else =
  // column axis). Depth <= 0 gives the node itself. (member_order.cpp)
  std::vector<const DimNode*> orderedMembers(const DimNode* node, int depth,
                                             std::string_view axis) const;

  // The skeleton nodes, always present.
  const DimNode* measureDimension() const { return measureDimension_; }
  const DimNode* columnDimension() const { return columnDimension_; }
  const DimNode* columnHeader() const { return columnHeader_; }
  const DimNode* rowDimension() const { return rowDimension_; }

  // True when header text `text` (cut to 49 bytes) names a measure.
  bool isMeasureName(std::string_view text) const {
    return measureDimension_->findChild(text) != nullptr;
  }

 private:
  // Reads a layout text into the column header and the row titles.
  friend void applyGridFrame(CrossTab& tab, std::string_view text);

  // Rebuilds tree and cells from the rows; standard exceptions end here
  // with one line "运行时产生错误:<message>\n" on standard error, except
  // std::bad_alloc (memory exhaustion), which reaches the caller.
  void buildTree();
  // Empties the skeleton's four nodes and places options_.measures below
  // the measure dimension.
  void placeMeasures();
  // Header construction (header_construction.cpp).
  void autoLayout();
  void fillColumnDimension();
  // Adds the member path of `row` over positions [p0, p1) below `start`;
  // `isMeasure` marks the measure columns of the header.
  void addMemberPath(DimNode* start, const RowRef& row, std::size_t p0, std::size_t p1,
                     const std::vector<bool>& isMeasure);
  void fillRowTreeAndCells();
  // Switches cells_ to dense keys when the path numbers allow it.
  bool useDenseCells(bool rowPassRan, std::size_t sep, const std::vector<bool>& isMeasure,
                     std::size_t storedMeasures);
  // Marks which header positions are measure columns.
  std::vector<bool> measureColumnMask(const RowRef& header) const;
  enum class Axis { kRows, kColumns };
  void runTotals();  // totals.cpp: the passes that sumOption asks for
  void appendTotals(const RowTable& list, Axis axis);
  void buildLayout();

  RowTable rows_;
  CellTable cells_;
  DimNode root_;
  PivotOptions options_;
  Aggregation aggregation_;  // of rows_, for the transform under way
  // Computes cuts_ and groups_ of rows_ for the build under way.
  void groupRows();
  CutIds cuts_;       // of rows_, for the build under way
  RowGroups groups_;  // of rows_ by their keys, likewise
  // The input rows' leaf groups that the totals made, if any, for groupRows.
  KnownGroups inputLeaves_;
  // The groups' row and column paths, numbered by the member passes.
  GroupPaths rowPaths_;
  GroupPaths columnPaths_;
  DimNode* measureDimension_ = nullptr;
  DimNode* columnDimension_ = nullptr;
  DimNode* columnHeader_ = nullptr;
  DimNode* rowDimension_ = nullptr;
};

}  // namespace tabulon

#endif  // TABULON_PIVOT_CROSS_TAB_H_
