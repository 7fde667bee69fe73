#include "jni/result_set_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "jni/java_errors.h"
#include "jni/local_ref.h"
#include "jni/row_batch_reader.h"

namespace tabulon {

namespace {

// A little above the reader class's batch limits, so that a batch rarely
// grows the arrays.
constexpr jsize kInitialText = (1 << 18) + (1 << 16);
constexpr jsize kInitialIndex = (1 << 15) + (1 << 12);
// The reader class's SLOTS and CACHED_COLUMNS: the slots of a column's
// table of strings, and how many of the first columns have one.
constexpr uint32_t kSlots = 1 << 14;
constexpr jsize kCachedColumns = 64;

void appendCopies(RowTable& rows, const std::vector<std::string>& texts,
                  std::vector<std::string_view>& views) {
  views.assign(texts.begin(), texts.end());
  appendRow(rows, views.data(), views.size());
}

RowTable readPerCell(ResultSetCursor& cursor, std::vector<std::string> valueColumns) {
  RowTable rows;
  rows.setValueColumns(std::move(valueColumns));
  std::vector<std::string> texts;
  std::vector<std::string_view> views;
  std::int64_t counter = 0;
  while (cursor.next()) {
    if (++counter == 1) {
      const int32_t count = cursor.getColumnCount();
      texts.resize(count > 0 ? count : 0);
      for (int32_t j = 1; j <= count; ++j) cursor.getColumnName(j, texts[j - 1]);
      appendCopies(rows, texts, views);
    }
    const int32_t count = cursor.getColumnCount();
    texts.resize(count > 0 ? count : 0);
    for (int32_t k = 1; k <= count; ++k) cursor.getString(k, texts[k - 1]);
    appendCopies(rows, texts, views);
  }
  return rows;
}

[[noreturn]] void badBatch() {
  throw std::runtime_error("the result-set reader class gave a malformed batch");
}

// A Java primitive array pinned for reading in place (the JNI's critical
// access): while it is held the caller makes no call into Java and does
// not block. Released unchanged when it goes out of scope, also when an
// exception unwinds.
class PinnedArray {
 public:
  PinnedArray(JNIEnv* env, jarray array)
      : env_(env), array_(array), data_(env->GetPrimitiveArrayCritical(array, nullptr)) {}
  ~PinnedArray() {
    if (data_ != nullptr) env_->ReleasePrimitiveArrayCritical(array_, data_, JNI_ABORT);
  }
  PinnedArray(const PinnedArray&) = delete;
  PinnedArray& operator=(const PinnedArray&) = delete;
  void* data() const { return data_; }

 private:
  JNIEnv* env_;
  jarray array_;
  void* data_;
};

// A Java array of one element, `element`.
jobjectArray holderOf(JNIEnv* env, const char* arrayClassName, jobject element) {
  LocalRef<jclass> arrayClass(env, env->FindClass(arrayClassName));
  checkJava(env);
  jobjectArray holder = env->NewObjectArray(1, arrayClass.get(), element);
  checkJava(env);
  return holder;
}

// The numbers of the texts that the reader class's table of strings holds,
// per column and slot; kNoText for a slot that holds none yet. A column's
// slots are made when the column first names one.
class SlotIds {
 public:
  // The column's slots, or null past the columns that have a table.
  uint32_t* of(std::size_t column) {
    if (column >= static_cast<std::size_t>(kCachedColumns)) return nullptr;
    uint32_t* ids = tables_[column].get();
    return ids != nullptr ? ids : make(column);
  }

 private:
  uint32_t* make(std::size_t column) {
    tables_[column].reset(new uint32_t[kSlots]);
    uint32_t* ids = tables_[column].get();
    std::fill(ids, ids + kSlots, ColumnTexts::kNoText);
    return ids;
  }

  std::unique_ptr<uint32_t[]> tables_[kCachedColumns];
};

// The batched reader: the Java arrays that the reader class fills, and
// native copies of what one batch wrote.
class BatchedReader {
 public:
  BatchedReader(JNIEnv* env, ResultSetCursor& cursor, jclass cls, jmethodID readBatch)
      : env_(env),
        cursor_(cursor),
        cls_(cls),
        readBatch_(readBatch),
        textHolder_(env, nullptr),
        indexHolder_(env, nullptr),
        slotsArray_(env, nullptr),
        stats_(env, nullptr) {
    LocalRef<jbyteArray> text(env, env->NewByteArray(kInitialText));
    checkJava(env);
    textHolder_.reset(holderOf(env, "[B", text.get()));
    LocalRef<jintArray> index(env, env->NewIntArray(kInitialIndex));
    checkJava(env);
    indexHolder_.reset(holderOf(env, "[I", index.get()));
    LocalRef<jclass> slotsClass(env, env->FindClass("[Ljava/lang/String;"));
    checkJava(env);
    slotsArray_.reset(env->NewObjectArray(kCachedColumns, slotsClass.get(), nullptr));
    checkJava(env);
    stats_.reset(env->NewIntArray(2 * kCachedColumns));
    checkJava(env);
  }

  RowTable read(std::vector<std::string> valueColumns) {
    RowTable rows;
    rows.setValueColumns(std::move(valueColumns));
    bool first = true;
    for (;;) {
      const jint result =
          env_->CallStaticIntMethod(cls_, readBatch_, cursor_.resultSet(), cursor_.metaData(),
                                    first ? JNI_TRUE : JNI_FALSE, textHolder_.get(),
                                    indexHolder_.get(), slotsArray_.get(), stats_.get());
      checkJava(env_);
      const bool more = result >= 0;
      const jint count = more ? result : ~result;
      if (count > 0) {
        copyBatch(count, rows);
        first = false;
      } else if (more) {
        badBatch();  // no row and not at the end: it would never finish
      }
      if (!more) return rows;
    }
  }

 private:
  // Where the walk over a batch's index and text is.
  struct Walk {
    const jint* at;
    const jint* end;
    jint start;  // where the next written text starts
    jint used;   // the text bytes of the batch

    jint next() {
      if (at == end) badBatch();
      return *at++;
    }
    // The next text written, which ends at `textEnd`.
    std::string_view text(const char* bytes, jint textEnd) {
      if (textEnd < start || textEnd > used) badBatch();
      std::string_view t(bytes + start, static_cast<std::size_t>(textEnd - start));
      start = textEnd;
      return t;
    }
  };

  // A value text of the batch kept as one number, its start in bytes_ and
  // its length: a view or a pair would be read back whole from the stack
  // right after its halves are stored there.
  static uint64_t spanOf(jint start, jint length) {
    return static_cast<uint64_t>(start) << 32 | static_cast<uint32_t>(length);
  }
  std::string_view textOf(uint64_t span) const {
    return std::string_view(bytes_ + (span >> 32), span & UINT32_MAX);
  }

  // What the walk keeps of one column of the table as the batch starts.
  struct ColumnState {
    uint32_t* slots = nullptr;  // its slot numbers, once it names a slot
    // A value column's texts of the batch so far (spanOf), null for other
    // columns; its number of texts at the start.
    uint64_t* spans = nullptr;
    uint32_t base = 0;
    uint32_t queued = 0;
  };

  // Where the walk is among the batch's data rows: the row, the cell in it,
  // the row's cells (-1 before its count is read) and where its numbers go.
  struct Place {
    jint row;
    jint cell;
    jint cells;
    uint32_t* out;
  };

  // Appends the `count` rows of the batch that the arrays hold.
  void copyBatch(jint count, RowTable& rows) {
    LocalRef<jintArray> index(
        env_, static_cast<jintArray>(env_->GetObjectArrayElement(indexHolder_.get(), 0)));
    checkJava(env_);
    LocalRef<jbyteArray> text(
        env_, static_cast<jbyteArray>(env_->GetObjectArrayElement(textHolder_.get(), 0)));
    checkJava(env_);
    if (!index || !text) badBatch();
    const jsize indexLength = env_->GetArrayLength(index.get());
    const jsize textLength = env_->GetArrayLength(text.get());
    jint head[2] = {0, 0};
    if (indexLength < 2) badBatch();
    env_->GetIntArrayRegion(index.get(), 0, 2, head);
    checkJava(env_);
    const jint entries = head[0];
    const jint used = head[1];
    if (entries < 2 || entries > indexLength || used < 0 || used > textLength) badBatch();
    if (!appendPinned(index.get(), text.get(), entries, count, used, rows)) {
      checkJava(env_);
      throw std::bad_alloc();  // pinning failed without saying why
    }
  }

  // Appends the `count` rows straight from the two arrays, pinned while
  // they are read instead of copied; false when either cannot be pinned.
  // Nothing in between calls into Java, as pinning requires.
  bool appendPinned(jintArray index, jbyteArray text, jint entries, jint count, jint used,
                    RowTable& rows) {
    // A failed pin may leave an exception pending: nothing more is asked.
    const PinnedArray pinnedIndex(env_, index);
    if (pinnedIndex.data() == nullptr) return false;
    const PinnedArray pinnedText(env_, text);
    if (pinnedText.data() == nullptr) return false;
    index_ = static_cast<const jint*>(pinnedIndex.data());
    indexSize_ = static_cast<std::size_t>(entries);
    bytes_ = static_cast<const char*>(pinnedText.data());
    appendRows(count, used, rows);
    return true;
  }

  // Walks the index: per row its cell count, then each cell's entry. The
  // header goes in as texts (it decides which columns hold values); the
  // data rows as numbers, written in place and added all at once: a cell
  // written out is entered in its column, a cell that names a slot takes
  // the slot's number.
  void appendRows(jint count, jint used, RowTable& rows) {
    Walk walk{index_ + 2, index_ + indexSize_, 0, used};
    jint r = 0;
    if (rows.empty()) {
      appendHeader(walk, rows);
      r = 1;
    }
    const std::size_t dataRows = static_cast<std::size_t>(count - r);
    startValueTexts(rows, dataRows);
    lengths_.resize(dataRows);
    // The data rows' numbers go straight into the store's room past its
    // rows; the index bounds how many there are.
    Place place{0, 0, -1, rows.idRowSpace(indexSize_)};
    const jint rowCount = static_cast<jint>(dataRows);
    while (place.row < rowCount) {
      walkPlainCells(walk, place, rowCount);
      if (place.row == rowCount) break;
      if (place.cells < 0) {
        // Only a malformed row count stops the plain walk at a row's start.
        const jint cells = walk.next();
        if (cells < 0 || cells > walk.end - walk.at) badBatch();
        place.cells = cells;
        place.cell = 0;
        continue;
      }
      place.out[place.cell] = cellId(walk, rows, static_cast<std::size_t>(place.cell));
      ++place.cell;
    }
    storeValueTexts(rows);
    rows.addIdRows(lengths_.data(), lengths_.size());
  }

  // Walks on over the cells that most rows are made of: values of columns
  // the batch has a state for, and slots that those columns filled before.
  // Stops before any other cell, before a malformed row count, or after
  // the last of `rowCount` rows (the place lies before it). It calls
  // nothing, so the walk stays in registers; cellId takes the cells it
  // stops at.
  [[gnu::noinline]] void walkPlainCells(Walk& walk, Place& place, jint rowCount) {
    const jint* at = walk.at;
    const jint* const end = walk.end;
    jint start = walk.start;
    const jint used = walk.used;
    jint row = place.row;
    jint k = place.cell;
    jint cells = place.cells;
    uint32_t* out = place.out;
    ColumnState* const columns = columns_.data();
    const jint known = static_cast<jint>(columns_.size());
    std::size_t* const lengths = lengths_.data();
    // The number of a plain cell of `column`, false for any other cell.
    const auto plainId = [&start, used](jint entry, ColumnState& column, uint32_t& id) {
      if (entry >= 0) {
        if (column.spans == nullptr || entry < start || entry > used) return false;
        column.spans[column.queued] = spanOf(start, entry - start);
        id = column.base + column.queued++;
        start = entry;
        return true;
      }
      const uint32_t code = ~static_cast<uint32_t>(entry);
      if (code >= kSlots || column.slots == nullptr) return false;
      id = column.slots[code];
      return id != ColumnTexts::kNoText;
    };
    for (;;) {
      if (k == cells) {
        lengths[row] = static_cast<std::size_t>(cells);
        out += cells;
        cells = -1;
        k = 0;
        if (++row == rowCount) break;
      }
      if (at == end) break;
      const jint entry = *at;
      if (cells < 0) {
        if (entry < 0 || entry > end - at - 1) break;
        cells = entry;
        ++at;
        if (cells != known) continue;
        // A row with a cell for every column: its entries lie within the
        // index (checked above), one per cell while the cells are plain.
        uint32_t id;
        while (k < cells && plainId(*at, columns[k], id)) {
          ++at;
          out[k++] = id;
        }
        if (k < cells) break;
        continue;
      }
      uint32_t id;
      if (k >= known || !plainId(entry, columns[k], id)) break;
      ++at;
      out[k++] = id;
    }
    walk.at = at;
    walk.start = start;
    place = Place{row, k, cells, out};
  }

  void appendHeader(Walk& walk, RowTable& rows) {
    const jint cells = walk.next();
    if (cells < 0 || cells > walk.end - walk.at) badBatch();
    views_.clear();
    for (jint k = 0; k < cells; ++k) views_.push_back(walk.text(bytes_, walk.next()));
    appendRow(rows, views_.data(), views_.size());
  }

  // The number of the next cell, of column `j`.
  uint32_t cellId(Walk& walk, RowTable& rows, std::size_t j) {
    ColumnState* column = j < columns_.size() ? &columns_[j] : nullptr;
    const jint entry = walk.next();
    if (entry >= 0) return enter(rows, column, j, walk.text(bytes_, entry));
    const uint32_t code = ~static_cast<uint32_t>(entry);
    uint32_t* slots =
        column != nullptr && column->slots != nullptr ? column->slots : slotsOf(column, j);
    if (code < kSlots) {
      const uint32_t id = slots[code];
      if (id == ColumnTexts::kNoText) badBatch();  // a slot that was never filled
      return id;
    }
    if (code >= 2 * kSlots) badBatch();
    return slots[code - kSlots] = enter(rows, column, j, walk.text(bytes_, walk.next()));
  }

  // The slot numbers of column `j` (kept in its state, if it has one).
  [[gnu::cold, gnu::noinline]] uint32_t* slotsOf(ColumnState* column, std::size_t j) {
    uint32_t* slots = slotIds_.of(j);
    if (slots == nullptr) badBatch();
    if (column != nullptr) column->slots = slots;
    return slots;
  }

  // The number of `text` in column `j`. A value's number is the next of its
  // column's; the texts are stored after the batch, each column in one
  // sweep (storeValueTexts).
  uint32_t enter(RowTable& rows, ColumnState* column, std::size_t j, std::string_view text) {
    if (column == nullptr || column->spans == nullptr) return intern(rows, j, text);
    column->spans[column->queued] = spanOf(static_cast<jint>(text.data() - bytes_),
                                           static_cast<jint>(text.size()));
    return column->base + column->queued++;
  }

  // Off the hot path: most cells are values or name a slot.
  [[gnu::cold, gnu::noinline]] static uint32_t intern(RowTable& rows, std::size_t j,
                                                       std::string_view text) {
    return rows.intern(j, text);
  }

  // The state of the columns of `rows` for a batch: where each value
  // column's numbers go on, with room for the texts of `dataRows` rows.
  void startValueTexts(const RowTable& rows, std::size_t dataRows) {
    const std::size_t count = rows.columnCount();
    columns_.assign(count, ColumnState{});
    std::size_t values = 0;
    for (std::size_t j = 0; j < count; ++j) values += rows.column(j).storesEveryText() ? 1 : 0;
    spans_.resize(values * dataRows);
    uint64_t* room = spans_.data();
    for (std::size_t j = 0; j < count; ++j) {
      if (!rows.column(j).storesEveryText()) continue;
      columns_[j].spans = room;
      columns_[j].base = rows.column(j).size();
      room += dataRows;
    }
  }

  void storeValueTexts(RowTable& rows) {
    for (std::size_t j = 0; j < columns_.size(); ++j) {
      const ColumnState& column = columns_[j];
      if (column.queued == 0) continue;
      const uint64_t* spans = column.spans;
      const uint32_t first = rows.appendEach(
          j, column.queued, [this, spans](std::size_t i) { return textOf(spans[i]); });
      if (first != column.base) badBatch();
    }
  }

  JNIEnv* env_;
  ResultSetCursor& cursor_;
  jclass cls_;
  jmethodID readBatch_;
  LocalRef<jobjectArray> textHolder_;   // byte[][1]
  LocalRef<jobjectArray> indexHolder_;  // int[][1]
  LocalRef<jobjectArray> slotsArray_;   // String[kCachedColumns][]: the strings per slot
  LocalRef<jintArray> stats_;           // per cached column: lookups and hits
  SlotIds slotIds_;
  // The batch being appended: its index and text, pinned Java arrays.
  const jint* index_ = nullptr;
  std::size_t indexSize_ = 0;
  const char* bytes_ = nullptr;
  std::vector<std::string_view> views_;
  std::vector<ColumnState> columns_;  // per column of the batch's start
  std::vector<uint64_t> spans_;       // room for the value columns' spans
  std::vector<std::size_t> lengths_;   // the lengths of the batch's data rows
};

bool perCellReaderForced(JNIEnv* env) {
  LocalRef<jclass> booleanClass(env, env->FindClass("java/lang/Boolean"));
  checkJava(env);
  jmethodID getBoolean =
      env->GetStaticMethodID(booleanClass.get(), "getBoolean", "(Ljava/lang/String;)Z");
  checkJava(env);
  LocalRef<jstring> name(env, env->NewStringUTF("tabulon.internal.perCellReader"));
  checkJava(env);
  const jboolean forced = env->CallStaticBooleanMethod(booleanClass.get(), getBoolean, name.get());
  checkJava(env);
  return forced != JNI_FALSE;
}

// The binding class: `self` itself for a static native, its class otherwise.
jclass bindingClassOf(JNIEnv* env, jobject self, LocalRef<jclass>& owned) {
  LocalRef<jclass> classClass(env, env->FindClass("java/lang/Class"));
  checkJava(env);
  if (env->IsInstanceOf(self, classClass.get())) return static_cast<jclass>(self);
  owned.reset(env->GetObjectClass(self));
  return owned.get();
}

}  // namespace

RowTable readResultSet(JNIEnv* env, jobject self, ResultSetCursor& cursor,
                       std::vector<std::string> valueColumns) {
  if (self == nullptr || cursor.metaData() == nullptr || perCellReaderForced(env)) {
    return readPerCell(cursor, std::move(valueColumns));
  }
  LocalRef<jclass> ownedBinding(env, nullptr);
  const jclass binding = bindingClassOf(env, self, ownedBinding);
  LocalRef<jclass> readerClass(env, nullptr);
  jmethodID readBatch = nullptr;
  if (!findRowBatchReader(env, binding, readerClass, readBatch)) {
    return readPerCell(cursor, std::move(valueColumns));
  }
  BatchedReader reader(env, cursor, readerClass.get(), readBatch);
  return reader.read(std::move(valueColumns));
}

}  // namespace tabulon
