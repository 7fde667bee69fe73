// Benchmark-only native entry: walks every cell of a result set with the
// library's ResultSetCursor, exactly as doTransform reads it, and discards
// the texts. Measures the reading alone, without the transform.

#include <jni.h>

#include <cstdint>
#include <string>

#include "jni/java_errors.h"
#include "jni/result_set_cursor.h"

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
