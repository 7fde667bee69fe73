// readCsvTable: a CSV text as spreadsheets write it into a RowTable.
//
// RFC 4180: fields separated by commas, rows by CR LF, LF or CR; a field in
// double quotes may hold commas, line breaks and doubled quotes (one quote
// each); a UTF-8 byte-order mark at the start is skipped. Texts are taken
// exactly as the fields hold them: nothing is trimmed, a quoted empty field
// and an empty field are both the empty text. Blank lines are skipped; rows
// keep their own number of fields. The first row holds the column names.
// Malformed text (an unclosed quote, a quote inside an unquoted field, text
// after a closing quote) is an error naming the line on which the faulty
// field starts (lines counted from 1 at each line feed, inside quotes too).
#ifndef TABULON_TOOLS_CSV_TABLE_H_
#define TABULON_TOOLS_CSV_TABLE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "pivot/row_table.h"

namespace tabulon {

struct CsvError {
  std::size_t line = 0;  // 0: no error
  std::string message;
};

// Appends the rows of `text` to `rows`. Returns an error with line 0 on
// success; on failure `rows` holds the rows read before the faulty one.
// Throws std::bad_alloc when memory runs out.
CsvError readCsvTable(std::string_view text, RowTable& rows);

}  // namespace tabulon

#endif  // TABULON_TOOLS_CSV_TABLE_H_
