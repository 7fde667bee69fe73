#include "pivot/cross_tab.h"

#include <climits>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "pivot/labels.h"
#include "pivot/text_table_reader.h"
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
  measureDimension_ = root.getOrAddChild(kMeasureDimension);
  columnDimension_ = root.getOrAddChild(kColumnDimension);
  columnHeader_ = root.getOrAddChild(kColumnHeader);
  rowDimension_ = root.getOrAddChild(kRowDimension);
}

void CrossTab::setSumOption(std::string_view word) {
  if (word == "SumNone") sumOption = 0;
  else if (word == "SumIncRow") sumOption = 1;
  else if (word == "SumIncCol") sumOption = 2;
  else if (word == "SumIncRowCol") sumOption = 3;
}

void CrossTab::setSumPos(std::string_view word) {
  if (word == "SumFirst") sumPos = 0;
  else if (word == "SumLast") sumPos = 1;
}

void CrossTab::setAggregate(std::string_view word) {
  const Aggregate kind = aggregateFromWord(word);
  if (kind != Aggregate::kNone) aggregate_ = kind;
}

void CrossTab::resetTree() {
  // The skeleton is created once by the constructor; resetting empties it.
  measureDimension_->clearChildren();
  columnDimension_->clearChildren();
  columnHeader_->clearChildren();
  rowDimension_->clearChildren();
}

void CrossTab::parseText(std::string_view text) { readTable(text, {}); }

void CrossTab::readTable(std::string_view text, std::vector<std::string> valueColumns) {
  rows.clear();
  rows.setValueColumns(std::move(valueColumns));
  TextTableReader reader(rows);
  reader.feed(text);
  reader.finish();
}

void CrossTab::transform(std::string_view input, std::string_view measures) {
  if (input != kConvertedMarker) {
    // The measure columns keep their values per row, unlooked-up.
    std::vector<std::string> names;
    split(measures, ",", names);
    readTable(input, std::move(names));
  }
  transformRows(measures);
}

void CrossTab::transformRows(RowTable table, std::string_view measures) {
  rows = std::move(table);
  transformRows(measures);
}

void CrossTab::transformRows(std::string_view measures) {
  std::vector<std::string> measureNames;
  split(measures, ",", measureNames);
  if (rows.size() < 2) return;
  resetTree();
  for (const std::string& name : measureNames) measureDimension_->getOrAddChild(name);
  aggregation_.reset(aggregate_, rows, rows.size(), measureColumnMask(rows[0]));
  runTotals();
  buildTree(measureNames);
}

void CrossTab::buildTree(const std::vector<std::string>& measureNames) {
  try {
    buildLayout(measureNames);
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

void CrossTab::buildLayout(const std::vector<std::string>& measureNames) {
  resetTree();
  for (const std::string& name : measureNames) measureDimension_->getOrAddChild(name);
  groupRows();
  if (gridFrame.empty()) {
    autoLayout();
  } else {
    applyGridFrame(*this, gridFrame);
  }
  fillRowTreeAndCells();
  groups_.clear();
}

std::vector<bool> CrossTab::measureColumnMask(const RowRef& header) const {
  std::vector<bool> mask(header.size(), false);
  if (measureDimension_->children().empty()) return mask;
  for (std::size_t i = 0; i < header.size(); ++i) mask[i] = isMeasureName(header[i]);
  return mask;
}

}  // namespace tabulon
