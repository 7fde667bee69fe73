#include "request/options.h"

namespace tabulon {

std::string optionValue(std::string_view text, std::string_view key) {
  std::string pattern;
  pattern.reserve(key.size() + 1);
  pattern.append(key);
  pattern += '=';
  const std::size_t at = text.find(pattern);
  if (at == std::string_view::npos) return std::string();
  const std::size_t begin = at + pattern.size();
  const std::size_t end = text.find('&', begin);
  const std::size_t count = end == std::string_view::npos ? std::string_view::npos : end - begin;
  return std::string(text.substr(begin, count));
}

RequestOptions readOptions(std::string_view text) {
  RequestOptions options;
  options.measures = optionValue(text, "Measures");
  options.sumOption = optionValue(text, "SumOption");
  options.sumPos = optionValue(text, "SumPos");
  options.rowColSort = optionValue(text, "RowColSort");
  options.separate = optionValue(text, "Separate");
  options.gridFrame = optionValue(text, "GridFrame");
  return options;
}

void applyOptions(const RequestOptions& options, CrossTab& tab) {
  tab.setSumOption(options.sumOption);
  tab.setSumPos(options.sumPos);
  tab.setRowColSort(options.rowColSort);
  if (!options.separate.empty()) tab.setSeparate(options.separate);
  if (options.gridFrame.size() > kMinGridFrameBytes) tab.setGridFrame(options.gridFrame);
}

}  // namespace tabulon
