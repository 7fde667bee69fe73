#include "sales_table.h"

#include <sys/resource.h>

#include <cstdint>
#include <map>

namespace tabulon {

namespace {
const char* const kRegions[10] = {"华东", "华南", "华北", "华中", "西南",
                                  "西北", "东北", "港澳", "台湾", "海外"};
const char* const kQuarters[4] = {"一季度", "二季度", "三季度", "四季度"};
}  // namespace

RowTable makeSalesTable(int cities, int years) {
  RowTable table;
  table.reserve(static_cast<std::size_t>(cities) * years * 4 + 1);
  table.push_back({"Region", "City", "|", "Year", "Quarter", "Sales", "Cost"});
  uint32_t seed = 12345;
  for (int c = 0; c < cities; ++c) {
    std::string region = kRegions[c % 10];
    std::string city = "城市" + std::to_string(10000 + c);
    for (int y = 0; y < years; ++y) {
      std::string year = std::to_string(1975 + y);
      for (int q = 0; q < 4; ++q) {
        seed = seed * 1103515245u + 12345u;
        uint32_t sales = (seed >> 8) % 100000;
        std::string salesText = std::to_string(sales / 100) + "." + std::to_string(sales % 100);
        std::string costText = std::to_string((sales * 3 / 5) / 100);
        table.push_back({region, city, "", year, kQuarters[q], salesText, costText});
      }
    }
  }
  return table;
}

const RowTable& cachedSalesTable(int cities) {
  static std::map<int, RowTable> tables;
  auto it = tables.find(cities);
  if (it == tables.end()) it = tables.emplace(cities, makeSalesTable(cities)).first;
  return it->second;
}

std::string salesTableText(const RowTable& table) {
  std::string text;
  for (const Row& row : table) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) text += '\t';
      text += row[i];
    }
    text += '\n';
  }
  return text;
}

std::size_t peakResidentBytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

}  // namespace tabulon
