// ResultSetCursor: the library's view of a caller's java.sql.ResultSet.
//
// A thin forward-only reader over JNI: next, the column count and names from
// the metadata, and every cell as text via getString (SQL NULL = empty
// text). Texts are the modified UTF-8 bytes that Java gives, copied once.
// Each operation goes straight to Java; the cursor keeps no row and never
// closes or rewinds the result set, which the caller owns. Every local
// reference it makes is deleted as soon as its text is copied, so a result
// set of any size holds only a few references at a time.
//
// All methods are called through the java.sql interfaces, so one process
// can read result sets of several drivers. A Java exception thrown by the
// result set ends the reading at once: the method throws
// JavaExceptionPending and the Java exception stays pending.
//
// A cursor belongs to the thread (JNIEnv) that made it.
#ifndef TABULON_JNI_RESULT_SET_CURSOR_H_
#define TABULON_JNI_RESULT_SET_CURSOR_H_

#include <jni.h>

#include <cstdint>
#include <string>

namespace tabulon {

class ResultSetCursor {
 public:
  // Looks up the ResultSet methods and asks for the metadata. `resultSet`
  // must not be null.
  ResultSetCursor(JNIEnv* env, jobject resultSet);
  ~ResultSetCursor();
  ResultSetCursor(const ResultSetCursor&) = delete;
  ResultSetCursor& operator=(const ResultSetCursor&) = delete;

  // Moves to the next row; false when there is none.
  bool next();
  // The number of columns, asked of the metadata on every call.
  int32_t getColumnCount();
  // The name of column `column` (from 1) into `out`; empty for a null name.
  void getColumnName(int32_t column, std::string& out);
  // The value of column `column` (from 1) of the current row into `out`,
  // reusing its capacity; empty for SQL NULL.
  void getString(int32_t column, std::string& out);

  // The result set and its metadata object (null when the driver gave
  // none), for readers that walk them in Java.
  jobject resultSet() const { return resultSet_; }
  jobject metaData() const { return metaData_; }

 private:
  // Raises NullPointerException when the driver gave no metadata object.
  void requireMetaData();

  jmethodID nextMethod_;
  jmethodID getStringMethod_;
  JNIEnv* env_;
  jobject resultSet_;  // not owned
  jobject metaData_;   // local reference, deleted with the cursor
};

}  // namespace tabulon

#endif  // TABULON_JNI_RESULT_SET_CURSOR_H_
