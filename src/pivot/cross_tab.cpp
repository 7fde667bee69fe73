#include "pivot/cross_tab.h"

#include <climits>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "pivot/labels.h"
#include "render/grid_frame.h"

namespace tabulon {

int split(std::string_view text, std::string_view delimiter, std::vector<std::string>& items) {
  items.clear();
  if (text.empty()) return 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t hit = text.find(delimiter, start);
    if (hit == std::string_view::npos) break;
    items.emplace_back(text.substr(start, hit - start));
    start = hit + delimiter.size();
  }
  // The last item loses bytes from its end while it holds a CR or LF
  // anywhere: cutting just after the first CR/LF gives the same result.
  std::string_view last = text.substr(start);
  std::size_t lineBreak = last.find_first_of("\r\n");
  if (lineBreak != std::string_view::npos) last = last.substr(0, lineBreak);
  items.emplace_back(last);
  // Callers only compare the count with small numbers: past INT_MAX it stays
  // INT_MAX instead of wrapping.
  return items.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                          : static_cast<int>(items.size());
}

int findSeparatorColumn(const Row& header, std::string_view separate) {
  if (header.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("too many columns: " + std::to_string(header.size()));
  }
  for (std::size_t i = header.size(); i-- > 0;) {
    if (header[i] == separate) return static_cast<int>(i);
  }
  return -1;
}

int findSeparatorColumn(const RowRef& header, std::string_view separate) {
  for (std::size_t i = header.size(); i-- > 0;) {
    if (header[i] == separate) return static_cast<int>(i);
  }
  return -1;
}

CrossTab::CrossTab() {
  measureDimension_ = root_.getOrAddChild(kMeasureDimension);
  columnDimension_ = root_.getOrAddChild(kColumnDimension);
  columnHeader_ = root_.getOrAddChild(kColumnHeader);
  rowDimension_ = root_.getOrAddChild(kRowDimension);
}

void CrossTab::placeMeasures() {
  // The skeleton is created once by the constructor; here it is emptied.
  measureDimension_->clearChildren();
  columnDimension_->clearChildren();
  columnHeader_->clearChildren();
  rowDimension_->clearChildren();
  for (const std::string& name : options_.measures) measureDimension_->getOrAddChild(name);
}

void CrossTab::transform(RowTable table, const PivotOptions& options) {
  rows_ = std::move(table);
  options_ = options;
  inputLeaves_.clear();
  if (rows_.size() < 2) return;
  // The measures are placed first: the totals read which columns they name.
  placeMeasures();
  aggregation_.reset(options_.aggregate, rows_, rows_.size(), measureColumnMask(rows_[0]));
  runTotals();
  buildTree();
}

void CrossTab::buildTree() {
  try {
    buildLayout();
  } catch (const std::bad_alloc&) {
    throw;  // memory exhaustion ends the request, never a partial tree
  } catch (const std::exception& e) {
    std::string line = kRuntimeErrorPrefix;
    line += e.what();
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
}

void CrossTab::buildLayout() {
  placeMeasures();
  rowPaths_.clear();
  columnPaths_.clear();
  groupRows();
  if (options_.gridFrame.empty()) {
    autoLayout();
  } else {
    applyGridFrame(*this, options_.gridFrame);
  }
  fillRowTreeAndCells();
  groups_.clear();
  rowPaths_.clear();
  columnPaths_.clear();
}

std::vector<bool> CrossTab::measureColumnMask(const RowRef& header) const {
  std::vector<bool> mask(header.size(), false);
  if (measureDimension_->children().empty()) return mask;
  for (std::size_t i = 0; i < header.size(); ++i) mask[i] = isMeasureName(header[i]);
  return mask;
}

}  // namespace tabulon
