// Reading a whole result set into a RowTable: the column names once (only
// when there is a first row), then every row, each with as many texts as the
// metadata gives columns on that row; SQL NULL is the empty text.
//
// Two readers give the same rows and make the same calls on the result set:
// - batched: the embedded Java class RowBatchReader (row_batch_reader.h)
//   walks a batch of rows in Java and writes their modified UTF-8 texts into
//   two reused arrays; native code makes one call per batch and copies the
//   bytes into the table. A text that the reader class saw before in its
//   column (the same string, or an equal one) comes as the number of the
//   slot that holds it, and costs neither its bytes nor a lookup here;
// - per cell: ResultSetCursor, one call from native code per cell.
// The per-cell reader reads when the reader class cannot be had for the
// binding class, when the driver gave no metadata object, and when the
// system property "tabulon.internal.perCellReader" is "true" (an internal
// switch for tests and benchmarks, not an option for callers).
//
// A Java exception of the result set ends the reading at once with
// JavaExceptionPending; nothing more is called on the result set.
#ifndef TABULON_JNI_RESULT_SET_READER_H_
#define TABULON_JNI_RESULT_SET_READER_H_

#include <string>
#include <vector>

#include <jni.h>

#include "jni/result_set_cursor.h"
#include "pivot/row_table.h"

namespace tabulon {

// `self` is what the native method was given: the binding class for a
// static native, an instance of it otherwise. The columns named by
// `valueColumns` keep their values without lookups (RowTable::setValueColumns).
RowTable readResultSet(JNIEnv* env, jobject self, ResultSetCursor& cursor,
                       std::vector<std::string> valueColumns = {});

}  // namespace tabulon

#endif  // TABULON_JNI_RESULT_SET_READER_H_
