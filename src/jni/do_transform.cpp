// doTransform: the JNI edge of a transform request. Reads the caller's
// result set into a RowTable, hands it with the option text to
// transformRequest and returns the JSON result text as a Java string, all
// under the request's memory budget.

#include <cstdint>
#include <string>
#include <utility>

#include "jni/exports.h"
#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/result_set_cursor.h"
#include "pivot/memory_budget.h"
#include "pivot/row_table.h"
#include "request/options.h"
#include "request/transform_request.h"

namespace tabulon {
namespace {

// The column names once (only when there is a first row), then every row,
// each with as many texts as the metadata gives columns. Each cell is copied
// straight from Java into its place in the table.
RowTable readRows(ResultSetCursor& cursor) {
  RowTable rows;
  std::int64_t counter = 0;
  while (cursor.next()) {
    if (++counter == 1) {
      const int32_t count = cursor.getColumnCount();
      Row& names = rows.emplace_back(count > 0 ? count : 0);
      for (int32_t j = 1; j <= count; ++j) cursor.getColumnName(j, names[j - 1]);
      chargeRow(names);
    }
    const int32_t count = cursor.getColumnCount();
    Row& row = rows.emplace_back(count > 0 ? count : 0);
    for (int32_t k = 1; k <= count; ++k) cursor.getString(k, row[k - 1]);
    chargeRow(row);
  }
  return rows;
}

}  // namespace
}  // namespace tabulon

extern "C" JNIEXPORT jstring JNICALL doTransform(JNIEnv* env, jobject, jobject resultSet,
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
    RowTable rows = readRows(cursor);
    const std::string json = transformRequest(std::move(rows), optionText);
    return newJavaString(env, json);
  } catch (...) {
    reportToJava(env);
    return nullptr;
  }
}
