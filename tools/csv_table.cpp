#include "csv_table.h"

#include <csv.h>

#include <new>
#include <vector>

namespace tabulon {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The row being read: its field texts one after another in `bytes`, with
// their ends in `ends`; the line counts for the error message.
struct CsvRowState {
  RowTable* rows = nullptr;
  std::string bytes;
  std::vector<std::size_t> ends;
  std::vector<std::string_view> cells;
  std::size_t line = 1;       // the line being fed to the parser
  std::size_t callbacks = 0;  // fields and rows ended so far
};

void onField(void* data, std::size_t size, void* state) {
  auto& s = *static_cast<CsvRowState*>(state);
  if (size > 0) s.bytes.append(static_cast<const char*>(data), size);
  s.ends.push_back(s.bytes.size());
  ++s.callbacks;
}

void onRowEnd(int, void* state) {
  auto& s = *static_cast<CsvRowState*>(state);
  s.cells.clear();
  std::size_t begin = 0;
  for (std::size_t end : s.ends) {
    s.cells.emplace_back(s.bytes.data() + begin, end - begin);
    begin = end;
  }
  appendRow(*s.rows, s.cells.data(), s.cells.size());
  s.bytes.clear();
  s.ends.clear();
  ++s.callbacks;
}

// No byte counts as a blank to trim: fields keep their texts exactly.
int noSpace(unsigned char) { return 0; }

struct Parser {
  csv_parser p;
  Parser() {
    if (csv_init(&p, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
    csv_set_space_func(&p, noSpace);
  }
  ~Parser() { csv_free(&p); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
};

CsvError failure(csv_parser& p, std::size_t line, bool atEnd) {
  const int code = csv_error(&p);
  if (code == CSV_ENOMEM || code == CSV_ETOOBIG) throw std::bad_alloc();
  return {line, atEnd ? "unclosed quote" : "misplaced quote"};
}

}  // namespace

CsvError readCsvTable(std::string_view text, RowTable& rows) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  Parser parser;
  CsvRowState state;
  state.rows = &rows;
  // Fed one line at a time (each piece ending after its LF), so that an error
  // knows its line. A quoted field still open after a line began on it when
  // it was not open before or a field ended on the line.
  std::size_t openQuoteLine = 0;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::size_t size = lf == std::string_view::npos ? text.size() : lf + 1;
    const bool quotedBefore = parser.p.quoted != 0;
    const std::size_t callbacksBefore = state.callbacks;
    if (csv_parse(&parser.p, text.data(), size, onField, onRowEnd, &state) != size) {
      return failure(parser.p, state.line, false);
    }
    if (parser.p.quoted != 0 && (!quotedBefore || state.callbacks != callbacksBefore)) {
      openQuoteLine = state.line;
    }
    text.remove_prefix(size);
    if (lf != std::string_view::npos) ++state.line;
  }
  if (csv_fini(&parser.p, onField, onRowEnd, &state) != 0) {
    return failure(parser.p, openQuoteLine, true);
  }
  return {};
}

}  // namespace tabulon
