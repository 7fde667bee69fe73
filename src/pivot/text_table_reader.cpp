#include "pivot/text_table_reader.h"

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

void TextTableReader::feed(std::string_view piece) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t lineEnd = piece.find('\n', start);
    if (lineEnd == std::string_view::npos) break;
    const std::string_view rest = piece.substr(start, lineEnd - start);
    if (pending_.empty()) {
      readLine(rest);
    } else {
      pending_.append(rest);
      readLine(pending_);
      flush();  // its texts lie in pending_
      pending_.clear();
    }
    start = lineEnd + 1;
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

}  // namespace tabulon
