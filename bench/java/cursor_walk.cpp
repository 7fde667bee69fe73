// Benchmark-only native entries: the reading alone, without the transform,
// and the ways of making the result string.
// - walkCells walks every cell with the per-cell ResultSetCursor and
//   discards the texts;
// - readRows reads the result set into a RowTable exactly as doTransform
//   does with the same options (batched when the reader class can be had;
//   the measure columns kept as values) and counts its rows and texts;
// - newString makes a Java string from UTF-8 bytes `repeats` times, by
//   NewStringUTF (way 0), by decoding to UTF-16 and NewString (way 1) or
//   by the library's newJavaString (way 2);
// - jsonString transforms the result set and gives the CPU time of making
//   the result from the document: as doTransform does (way 0), the JSON
//   bytes alone (way 1), the bytes and newJavaString (way 2).

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/local_ref.h"
#include "jni/modified_utf8.h"
#include "jni/result_set_cursor.h"
#include "jni/result_set_reader.h"
#include "request/json_text.h"
#include "request/options.h"
#include "request/transform_document.h"

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
    // The rows and each column's distinct texts: what the reading built,
    // without walking it again (the floor only touches what it reads).
    jlong bytes = static_cast<jlong>(rows.size());
    for (std::size_t j = 0; j < rows.columnCount(); ++j) bytes += rows.column(j).size();
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

namespace {
// TabulonBench's JSON_STRING, JSON_BYTES and BYTES_STRING.
enum class JsonWay : jint { kDoTransform = 0, kBytesOnly = 1, kBytesThenString = 2 };

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
}  // namespace

extern "C" JNIEXPORT jdouble JNICALL Java_tabulon_bench_TabulonBench_jsonString(
    JNIEnv* env, jclass cls, jobject resultSet, jstring options, jint way) {
  using namespace tabulon;
  try {
    ResultSetCursor cursor(env, resultSet);
    std::string optionText;
    copyJavaString(env, options, optionText);
    const TransformDocument document = transformDocument(
        readResultSet(env, cls, cursor, measureNames(optionText)), optionText);
    const JsonWay chosen = static_cast<JsonWay>(way);
    const double start = threadCpuMs();
    if (chosen == JsonWay::kBytesOnly) {
      const std::string bytes = jsonText(document);
      return bytes.empty() ? -1 : threadCpuMs() - start;
    }
    LocalRef<jstring> text(env, chosen == JsonWay::kDoTransform
                                    ? newJavaJson(env, document)
                                    : newJavaString(env, jsonText(document)));
    return text ? threadCpuMs() - start : -1;
  } catch (...) {
    reportToJava(env);
    return -1;
  }
}
