#include "jni/result_set_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
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
  // Copies the two arrays' used parts and appends the `count` rows.
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
    index_.resize(static_cast<std::size_t>(entries));
    env_->GetIntArrayRegion(index.get(), 0, entries, index_.data());
    checkJava(env_);
    bytes_.resize(static_cast<std::size_t>(used));
    env_->GetByteArrayRegion(text.get(), 0, used, reinterpret_cast<jbyte*>(bytes_.data()));
    checkJava(env_);
    appendRows(count, used, rows);
  }

  // Walks the index: per row its cell count, then each cell's entry. The
  // header goes in as texts (it decides which columns hold values); the
  // data rows as numbers, written in place and added all at once: a cell
  // written out is entered in its column, a cell that names a slot takes
  // the slot's number.
  void appendRows(jint count, jint used, RowTable& rows) {
    Walk walk{index_.data() + 2, index_.data() + index_.size(), 0, used};
    jint r = 0;
    if (rows.empty()) {
      appendHeader(walk, rows);
      r = 1;
    }
    lengths_.clear();
    startValueTexts(rows, static_cast<std::size_t>(count - r));
    // The data rows' numbers go straight into the store's room past its
    // rows; the index bounds how many there are.
    uint32_t* out = rows.idRowSpace(index_.size());
    for (; r < count; ++r) {
      const jint cells = walk.next();
      if (cells < 0 || cells > walk.end - walk.at) badBatch();
      for (jint k = 0; k < cells; ++k) {
        out[k] = cellId(walk, rows, static_cast<std::size_t>(k));
      }
      out += cells;
      lengths_.push_back(static_cast<std::size_t>(cells));
    }
    storeValueTexts(rows);
    rows.addIdRows(lengths_.data(), lengths_.size());
  }

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

  void appendHeader(Walk& walk, RowTable& rows) {
    const jint cells = walk.next();
    if (cells < 0 || cells > walk.end - walk.at) badBatch();
    views_.clear();
    for (jint k = 0; k < cells; ++k) views_.push_back(walk.text(bytes_.data(), walk.next()));
    appendRow(rows, views_.data(), views_.size());
  }

  // The number of the next cell, of column `j`.
  uint32_t cellId(Walk& walk, RowTable& rows, std::size_t j) {
    const jint entry = walk.next();
    if (entry >= 0) return enter(rows, j, walk.text(bytes_.data(), entry));
    const uint32_t code = ~static_cast<uint32_t>(entry);
    uint32_t* slots = slotIds_.of(j);
    if (slots == nullptr) badBatch();
    if (code < kSlots) {
      const uint32_t id = slots[code];
      if (id == ColumnTexts::kNoText) badBatch();  // a slot that was never filled
      return id;
    }
    if (code >= 2 * kSlots) badBatch();
    return slots[code - kSlots] = enter(rows, j, walk.text(bytes_.data(), walk.next()));
  }

  // The number of `text` in column `j`. A value's number is the next of its
  // column's; the texts are stored after the batch, each column in one
  // sweep (storeValueTexts).
  uint32_t enter(RowTable& rows, std::size_t j, std::string_view text) {
    if (j >= valueColumns_ || !valueColumn_[j]) return rows.intern(j, text);
    // Kept as one number, start and length: a view or a pair would be read
    // back whole from the stack before its halves are stored there.
    const uint32_t queued = queued_[j]++;
    valueTexts_[j][queued] = static_cast<uint64_t>(text.data() - bytes_.data()) << 32 | text.size();
    return valueBase_[j] + queued;
  }

  // Notes the value columns of `rows`, where their numbers go on, and room
  // for the texts of `dataRows` rows.
  void startValueTexts(const RowTable& rows, std::size_t dataRows) {
    const std::size_t columns = rows.columnCount();
    valueColumns_ = columns;
    valueTexts_.resize(columns);
    valueColumn_.assign(columns, 0);
    valueBase_.assign(columns, 0);
    queued_.assign(columns, 0);
    for (std::size_t j = 0; j < columns; ++j) {
      valueColumn_[j] = rows.column(j).storesEveryText();
      valueBase_[j] = rows.column(j).size();
      if (valueColumn_[j]) valueTexts_[j].resize(dataRows);
    }
  }

  void storeValueTexts(RowTable& rows) {
    for (std::size_t j = 0; j < valueColumns_; ++j) {
      if (queued_[j] == 0) continue;
      const uint64_t* spans = valueTexts_[j].data();
      const char* bytes = bytes_.data();
      const uint32_t first = rows.appendEach(j, queued_[j], [spans, bytes](std::size_t i) {
        return std::string_view(bytes + (spans[i] >> 32), spans[i] & UINT32_MAX);
      });
      if (first != valueBase_[j]) badBatch();
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
  std::vector<jint> index_;
  std::vector<char> bytes_;
  std::vector<std::string_view> views_;
  // Per column of the batch's start (valueColumns_ of them): whether it
  // stores every text (a value column), its number of texts then, and the
  // batch's texts of it so far.
  std::size_t valueColumns_ = 0;
  std::vector<char> valueColumn_;
  std::vector<uint32_t> valueBase_;
  std::vector<uint32_t> queued_;
  std::vector<std::vector<uint64_t>> valueTexts_;  // start in bytes_ << 32 | length
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
