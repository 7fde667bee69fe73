// doTransform: the JNI edge of a transform request. Reads the caller's
// result set into a RowTable, hands it with the option text to
// transformDocument and returns the document's JSON result text as a Java
// string, all under the request's memory budget.

#include <string>
#include <utility>

#include "jni/exports.h"
#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/result_set_cursor.h"
#include "jni/result_set_reader.h"
#include "pivot/memory_budget.h"
#include "pivot/row_table.h"
#include "request/options.h"
#include "request/transform_document.h"

extern "C" JNIEXPORT jstring JNICALL doTransform(JNIEnv* env, jobject self, jobject resultSet,
                                                 jstring options) {
  using namespace tabulon;
  try {
    if (resultSet == nullptr) {
      throwJava(env, "java/lang/NullPointerException", "resultSet is null");
      return nullptr;
    }
    ResultSetCursor cursor(env, resultSet);
    std::string optionText;
    if (options != nullptr) copyJavaString(env, options, optionText);
    // Everything the request grows is charged to its budget; a charge past
    // the limit unwinds the request, releasing its memory, before the
    // handler below raises OutOfMemoryError.
    MemoryBudget budget(requestMemoryLimit(optionText));
    RowTable rows = readResultSet(env, self, cursor, measureNames(optionText));
    // The model is released before the text is made (transformDocument).
    return newJavaJson(env, transformDocument(std::move(rows), optionText));
  } catch (...) {
    reportToJava(env);
    return nullptr;
  }
}
