#include "pivot/text_table_reader.h"

#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tabulon {

namespace {

// Rows are appended in batches of about this many texts.
constexpr std::size_t kBatchCells = std::size_t{1} << 16;

// Splits `text` at every `delimiter` into `items`, keeping empty items; the
// last item loses its end from its first CR or LF on. An empty text gives
// no item.
std::size_t splitViews(std::string_view text, std::string_view delimiter,
                       std::vector<std::string_view>& items) {
  items.clear();
  if (text.empty()) return 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t hit = text.find(delimiter, start);
    if (hit == std::string_view::npos) break;
    items.push_back(text.substr(start, hit - start));
    start = hit + delimiter.size();
  }
  std::string_view last = text.substr(start);
  const std::size_t lineBreak = last.find_first_of("\r\n");
  if (lineBreak != std::string_view::npos) last = last.substr(0, lineBreak);
  items.push_back(last);
  return items.size();
}

// The first byte of [p, end) that is a "\n" or `delimiter`; `end` when
// there is none. Sixteen bytes are compared at a time where SSE2 is at hand.
const char* nextBreak(const char* p, const char* end, char delimiter) {
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i separator = _mm_set1_epi8(delimiter);
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, separator)));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\n' || *p == delimiter) return p;
  }
  return end;
}

}  // namespace

void TextTableReader::readLine(std::string_view line) {
  if (line.empty()) return;
  splitViews(line, delimiter_, fields_);
  if (fields_.size() < 2 && line.size() > 10 && splitViews(line, ",", commaFields_) >= 2) {
    fields_.swap(commaFields_);
    delimiter_ = ",";
  }
  cells_.insert(cells_.end(), fields_.begin(), fields_.end());
  lengths_.push_back(fields_.size());
  if (cells_.size() >= kBatchCells) flush();
}

void TextTableReader::flush() {
  rows_.appendRows(cells_.data(), lengths_.data(), lengths_.size());
  cells_.clear();
  lengths_.clear();
}

void TextTableReader::readLines(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  char delimiter = delimiter_[0];
  while (p < end) {
    const char* const lineStart = p;
    const std::size_t first = cells_.size();
    const char* fieldStart = p;
    const char* hit = nextBreak(fieldStart, end, delimiter);
    for (; *hit == delimiter; hit = nextBreak(fieldStart, end, delimiter)) {
      cells_.emplace_back(fieldStart, static_cast<std::size_t>(hit - fieldStart));
      fieldStart = hit + 1;
    }
    p = hit + 1;  // past the line's "\n"
    const std::size_t lineSize = static_cast<std::size_t>(hit - lineStart);
    if (lineSize == 0) continue;
    std::string_view last(fieldStart, static_cast<std::size_t>(hit - fieldStart));
    const std::size_t count = cells_.size() - first + 1;
    if (count < 2 && lineSize > 10) {
      // A line without a delimiter may switch to commas.
      cells_.resize(first);
      readLine(std::string_view(lineStart, lineSize));
      delimiter = delimiter_[0];
      continue;
    }
    const std::size_t carriageReturn = last.find('\r');
    if (carriageReturn != std::string_view::npos) last = last.substr(0, carriageReturn);
    cells_.push_back(last);
    lengths_.push_back(count);
    if (cells_.size() >= kBatchCells) flush();
  }
}

void TextTableReader::feed(std::string_view piece) {
  std::size_t start = 0;
  if (!pending_.empty()) {
    const std::size_t lineEnd = piece.find('\n');
    if (lineEnd == std::string_view::npos) {
      pending_.append(piece);
      return;
    }
    pending_.append(piece.substr(0, lineEnd));
    readLine(pending_);
    flush();  // its texts lie in pending_
    pending_.clear();
    start = lineEnd + 1;
  }
  const std::size_t lastEnd = piece.rfind('\n');
  if (lastEnd != std::string_view::npos && lastEnd >= start) {
    readLines(piece.substr(start, lastEnd + 1 - start));
    start = lastEnd + 1;
  }
  flush();  // the texts lie in `piece`
  pending_.append(piece.substr(start));
}

void TextTableReader::finish() {
  std::string_view last = pending_;
  readLine(last.substr(0, last.find('\r')));
  flush();
  std::string().swap(pending_);
}

RowTable parseText(std::string_view text, std::vector<std::string> valueColumns) {
  RowTable rows;
  rows.setValueColumns(std::move(valueColumns));
  TextTableReader reader(rows);
  reader.feed(text);
  reader.finish();
  return rows;
}

}  // namespace tabulon
