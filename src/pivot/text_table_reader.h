// TextTableReader: reads a TAB- (or comma-) separated table text into a
// RowTable piece by piece, so that a file is read in bounded chunks and
// never held whole besides the store.
//
// The text is one row per "\n"-ended line; empty lines are skipped. Fields
// are separated by TAB until a line of more than 10 bytes with no TAB but a
// comma switches this and every later line to commas. A line's last field
// loses its end from its first CR or LF on; the text's last line (without
// a final "\n") is first cut at its first CR. Feeding a text in any pieces
// and then calling finish gives the rows that parseText gives for it whole.
// parseText reads a whole text into a fresh RowTable; `valueColumns` names
// the columns kept as values (RowTable::setValueColumns), as a transform's
// measure columns are.
#ifndef TABULON_PIVOT_TEXT_TABLE_READER_H_
#define TABULON_PIVOT_TEXT_TABLE_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "pivot/row_table.h"

namespace tabulon {

class TextTableReader {
 public:
  explicit TextTableReader(RowTable& rows) : rows_(rows) {}

  // Appends the rows of every line that `piece` completes.
  void feed(std::string_view piece);
  // Appends the row of the last line, if any.
  void finish();

 private:
  void readLine(std::string_view line);
  // Reads the lines of `text`, each ended by "\n" (the last one too).
  void readLines(std::string_view text);
  // Appends the rows read so far.
  void flush();

  RowTable& rows_;
  std::string_view delimiter_ = "\t";
  std::string pending_;  // the start of a line that the next piece ends
  std::vector<std::string_view> fields_;
  std::vector<std::string_view> commaFields_;
  // Rows read but not yet appended: their texts end to end, and lengths.
  std::vector<std::string_view> cells_;
  std::vector<std::size_t> lengths_;
};

RowTable parseText(std::string_view text, std::vector<std::string> valueColumns = {});

}  // namespace tabulon

#endif  // TABULON_PIVOT_TEXT_TABLE_READER_H_
