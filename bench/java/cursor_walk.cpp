// Benchmark-only native entries: the reading alone, without the transform,
// and the ways of making the result string.
// - walkCells walks every cell with the per-cell ResultSetCursor and
//   discards the texts;
// - readRows reads the result set into a RowTable exactly as doTransform
//   does with the same options (batched when the reader class can be had;
//   the measure columns kept as values);
// - newString makes a Java string from UTF-8 bytes `repeats` times, by
//   NewStringUTF (way 0), by decoding to UTF-16 and NewString (way 1) or
//   by the library's newJavaString (way 2).

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/local_ref.h"
#include "jni/modified_utf8.h"
#include "jni/result_set_cursor.h"
#include "jni/result_set_reader.h"
#include "request/options.h"

extern "C" JNIEXPORT jlong JNICALL Java_tabulon_bench_TabulonBench_walkCells(JNIEnv* env, jclass,
                                                                          jobject resultSet) {
  using namespace tabulon;
  try {
    ResultSetCursor cursor(env, resultSet);
    std::string name;
    std::string cell;
    jlong bytes = 0;
    std::int64_t rows = 0;
    while (cursor.next()) {
      if (++rows == 1) {
        const int32_t count = cursor.getColumnCount();
        for (int32_t j = 1; j <= count; ++j) cursor.getColumnName(j, name);
      }
      const int32_t count = cursor.getColumnCount();
      for (int32_t k = 1; k <= count; ++k) {
        cursor.getString(k, cell);
        bytes += static_cast<jlong>(cell.size());
      }
    }
    return bytes;
  } catch (...) {
    reportToJava(env);
    return -1;
  }
}

extern "C" JNIEXPORT jlong JNICALL Java_tabulon_bench_TabulonBench_readRows(JNIEnv* env,
                                                                         jclass cls,
                                                                         jobject resultSet,
                                                                         jstring options) {
  using namespace tabulon;
  try {
    ResultSetCursor cursor(env, resultSet);
    std::string optionText;
    copyJavaString(env, options, optionText);
    const RowTable rows = readResultSet(env, cls, cursor, measureNames(optionText));
    jlong bytes = 0;
    // Through the stored numbers: making each row a list of strings would
    // cost more than the reading that is measured.
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const uint32_t* ids = rows.rowIds(r);
      for (std::size_t j = 0; j < rows.rowLength(r); ++j) {
        bytes += static_cast<jlong>(rows.text(j, ids[j]).size());
      }
    }
    return bytes;
  } catch (...) {
    reportToJava(env);
    return -1;
  }
}

extern "C" JNIEXPORT jlong JNICALL Java_tabulon_bench_TabulonBench_newString(
    JNIEnv* env, jclass, jbyteArray utf8, jint way, jint repeats) {
  using namespace tabulon;
  std::string bytes(static_cast<std::size_t>(env->GetArrayLength(utf8)), '\0');
  env->GetByteArrayRegion(utf8, 0, static_cast<jsize>(bytes.size()),
                          reinterpret_cast<jbyte*>(bytes.data()));
  jlong chars = 0;
  for (jint i = 0; i < repeats; ++i) {
    jstring text;
    if (way == 2) {
      text = newJavaString(env, bytes);
    } else if (way == 0) {
      text = env->NewStringUTF(bytes.c_str());
    } else {
      const std::u16string units = utf8::decodeToUtf16(bytes);
      text = env->NewString(reinterpret_cast<const jchar*>(units.data()),
                            static_cast<jsize>(units.size()));
    }
    if (text == nullptr) return -1;
    chars += env->GetStringLength(text);
    env->DeleteLocalRef(text);
  }
  return chars;
}
