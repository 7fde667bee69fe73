// doTransform: the JNI edge of a transform request. Reads the caller's
// result set into a RowTable, hands it with the option text to
// transformRequest and returns the JSON result text as a Java string.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jni/exports.h"
#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/result_set_cursor.h"
#include "pivot/row_table.h"
#include "request/transform_request.h"

namespace tabulon {
namespace {

// The column names once (only when there is a first row), then every row,
// each with as many texts as the metadata gives columns, appended to the
// store through one reused list of texts.
RowTable readRows(ResultSetCursor& cursor) {
  RowTable rows;
  std::int64_t counter = 0;
  std::vector<std::string> texts;
  std::vector<std::string_view> cells;
  auto append = [&]() {
    cells.assign(texts.begin(), texts.end());
    appendRow(rows, cells.data(), cells.size());
  };
  while (cursor.next()) {
    if (++counter == 1) {
      const int32_t count = cursor.getColumnCount();
      texts.resize(count > 0 ? count : 0);
      for (int32_t j = 1; j <= count; ++j) cursor.getColumnName(j, texts[j - 1]);
      append();
    }
    const int32_t count = cursor.getColumnCount();
    texts.resize(count > 0 ? count : 0);
    for (int32_t k = 1; k <= count; ++k) cursor.getString(k, texts[k - 1]);
    append();
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
    RowTable rows = readRows(cursor);
    const std::string json = transformRequest(std::move(rows), optionText);
    return newJavaString(env, json);
  } catch (...) {
    reportToJava(env);
    return nullptr;
  }
}
