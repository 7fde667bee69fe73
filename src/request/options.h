// The option text of a transform request: key=value pairs joined by "&",
// e.g. "SumOption=SumIncRow&Measures=Sales,Cost&Separate=|".
//
// optionValue finds one value; readOptions looks up the known keys;
// pivotOptions turns them into the engine's PivotOptions. No option text is
// ever an error: absent keys and unknown words leave the defaults. Values
// are copies; nothing here keeps a reference to the option text.
#ifndef TABULON_REQUEST_OPTIONS_H_
#define TABULON_REQUEST_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pivot/pivot_options.h"
#include "pivot/row_table.h"

namespace tabulon {

// The text after the first occurrence of `key` + "=" in `text`, up to the
// next "&" or the end; empty when the pattern does not occur. The pattern
// is a plain substring: it is also found inside a longer key or inside
// another pair's value. Nothing is trimmed or decoded.
std::string optionValue(std::string_view text, std::string_view key);

// The six values of one request, as looked up (empty when absent).
struct RequestOptions {
  std::string measures;    // comma list of measure column names
  std::string sumOption;   // SumNone / SumIncRow / SumIncCol / SumIncRowCol
  std::string sumPos;      // SumFirst / SumLast
  std::string rowColSort;  // rows are sorted when it contains "Row"
  std::string separate;    // name of the separator column
  std::string gridFrame;   // a layout text accepted back from a result
  // MemoryLimit: bytes, or with a K, M or G (powers of 1024); echoed only
  // when the option text has the key.
  bool hasMemoryLimit = false;
  std::string memoryLimit;
  // Aggregate: Sum, Count, Min, Max or Avg; echoed only when the option
  // text has the key.
  bool hasAggregate = false;
  std::string aggregate;
  // Escape: "Html" escapes the data texts of the HTML; echoed only when the
  // option text has the key.
  bool hasEscape = false;
  std::string escape;
};

// Looks up Measures, SumOption, SumPos, RowColSort, Separate and GridFrame,
// in this order, then MemoryLimit, Aggregate and Escape.
RequestOptions readOptions(std::string_view text);

// The bytes that a MemoryLimit value names: decimal digits, optionally
// followed by one of K, M or G (powers of 1024); nothing else, and no more
// than 2^64 - 1 bytes. Empty for any other text.
std::optional<std::uint64_t> parseMemoryLimit(std::string_view value);

// The memory limit of the request with option text `text`: its MemoryLimit
// value when well-formed, otherwise defaultMemoryLimit().
std::uint64_t requestMemoryLimit(std::string_view text);

// The measure names of option text `text`: its Measures value split at ",".
std::vector<std::string> measureNames(std::string_view text);

// Tells `rows`, before it is filled, which columns the Measures of option
// text `text` name, so that their values are stored without lookups
// (RowTable::setValueColumns).
void setValueColumns(RowTable& rows, std::string_view text);

// The engine's options of a request, set in this order: SumOption, SumPos
// and Aggregate words (unknown words leave the defaults), RowColSort,
// Separate only when not empty, GridFrame only when longer than
// kMinGridFrameBytes bytes, then the Measures list.
PivotOptions pivotOptions(const RequestOptions& options);

}  // namespace tabulon

#endif  // TABULON_REQUEST_OPTIONS_H_
