#include "request/options.h"

#include <limits>
#include <optional>
#include <utility>

#include "pivot/cross_tab.h"
#include "pivot/memory_budget.h"

namespace tabulon {

namespace {

constexpr std::string_view kMemoryLimitKey = "MemoryLimit";

// The value of `key` as optionValue finds it, or nothing when the text
// does not hold key + "=".
std::optional<std::string> presentValue(std::string_view text, std::string_view key) {
  std::string pattern;
  pattern.reserve(key.size() + 1);
  pattern.append(key);
  pattern += '=';
  const std::size_t at = text.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t begin = at + pattern.size();
  const std::size_t end = text.find('&', begin);
  const std::size_t count = end == std::string_view::npos ? std::string_view::npos : end - begin;
  return std::string(text.substr(begin, count));
}

// Looks up an option that is echoed only when the text has its key.
void readOptional(std::string_view text, std::string_view key, bool& present, std::string& value) {
  std::optional<std::string> found = presentValue(text, key);
  present = found.has_value();
  value = found ? std::move(*found) : std::string();
}

}  // namespace

std::string optionValue(std::string_view text, std::string_view key) {
  return presentValue(text, key).value_or(std::string());
}

RequestOptions readOptions(std::string_view text) {
  RequestOptions options;
  options.measures = optionValue(text, "Measures");
  options.sumOption = optionValue(text, "SumOption");
  options.sumPos = optionValue(text, "SumPos");
  options.rowColSort = optionValue(text, "RowColSort");
  options.separate = optionValue(text, "Separate");
  options.gridFrame = optionValue(text, "GridFrame");
  readOptional(text, kMemoryLimitKey, options.hasMemoryLimit, options.memoryLimit);
  readOptional(text, "Aggregate", options.hasAggregate, options.aggregate);
  readOptional(text, "Escape", options.hasEscape, options.escape);
  return options;
}

std::optional<std::uint64_t> parseMemoryLimit(std::string_view value) {
  unsigned shift = 0;
  if (!value.empty()) {
    switch (value.back()) {
      case 'K': shift = 10; break;
      case 'M': shift = 20; break;
      case 'G': shift = 30; break;
      default: break;
    }
  }
  if (shift != 0) value.remove_suffix(1);
  if (value.empty()) return std::nullopt;
  std::uint64_t bytes = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (bytes > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    bytes = bytes * 10 + digit;
  }
  if (bytes > (std::numeric_limits<std::uint64_t>::max() >> shift)) return std::nullopt;
  return bytes << shift;
}

std::uint64_t requestMemoryLimit(std::string_view text) {
  if (const std::optional<std::string> value = presentValue(text, kMemoryLimitKey)) {
    if (const std::optional<std::uint64_t> bytes = parseMemoryLimit(*value)) return *bytes;
  }
  return defaultMemoryLimit();
}

std::vector<std::string> measureNames(std::string_view text) {
  std::vector<std::string> names;
  split(optionValue(text, "Measures"), ",", names);
  return names;
}

void setValueColumns(RowTable& rows, std::string_view text) { rows.setValueColumns(measureNames(text)); }

PivotOptions pivotOptions(const RequestOptions& options) {
  PivotOptions pivot;
  pivot.setSumOption(options.sumOption);
  pivot.setSumPos(options.sumPos);
  pivot.setAggregate(options.aggregate);
  pivot.setRowColSort(options.rowColSort);
  pivot.setSeparate(options.separate);
  pivot.setGridFrame(options.gridFrame);
  pivot.setMeasures(options.measures);
  return pivot;
}

}  // namespace tabulon
