#include "jni/result_set_cursor.h"

#include <atomic>

#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/local_ref.h"

namespace tabulon {

namespace {

// Process-wide, looked up on first use on the java.sql.ResultSetMetaData
// interface, which makes them valid for the metadata objects of every
// driver. Concurrent first uses store the same value.
std::atomic<jmethodID> getColumnCountMethod{nullptr};
std::atomic<jmethodID> getColumnNameMethod{nullptr};

jmethodID metaDataMethod(JNIEnv* env, std::atomic<jmethodID>& cache, const char* name,
                         const char* signature) {
  jmethodID id = cache.load(std::memory_order_relaxed);
  if (id != nullptr) return id;
  LocalRef<jclass> cls(env, env->FindClass("java/sql/ResultSetMetaData"));
  checkJava(env);
  id = env->GetMethodID(cls.get(), name, signature);
  checkJava(env);
  cache.store(id, std::memory_order_relaxed);
  return id;
}

}  // namespace

ResultSetCursor::ResultSetCursor(JNIEnv* env, jobject resultSet)
    : nextMethod_(nullptr),
      getStringMethod_(nullptr),
      env_(env),
      resultSet_(resultSet),
      metaData_(nullptr) {
  LocalRef<jclass> cls(env, env->FindClass("java/sql/ResultSet"));
  checkJava(env);
  nextMethod_ = env->GetMethodID(cls.get(), "next", "()Z");
  checkJava(env);
  getStringMethod_ = env->GetMethodID(cls.get(), "getString", "(I)Ljava/lang/String;");
  checkJava(env);
  jmethodID getMetaData =
      env->GetMethodID(cls.get(), "getMetaData", "()Ljava/sql/ResultSetMetaData;");
  checkJava(env);
  metaData_ = env->CallObjectMethod(resultSet, getMetaData);
  checkJava(env);
}

ResultSetCursor::~ResultSetCursor() {
  if (metaData_ != nullptr) env_->DeleteLocalRef(metaData_);
}

bool ResultSetCursor::next() {
  const jboolean more = env_->CallBooleanMethod(resultSet_, nextMethod_);
  checkJava(env_);
  return more != JNI_FALSE;
}

int32_t ResultSetCursor::getColumnCount() {
  requireMetaData();
  jmethodID id = metaDataMethod(env_, getColumnCountMethod, "getColumnCount", "()I");
  const jint count = env_->CallIntMethod(metaData_, id);
  checkJava(env_);
  return count;
}

void ResultSetCursor::getColumnName(int32_t column, std::string& out) {
  out.clear();
  requireMetaData();
  jmethodID id =
      metaDataMethod(env_, getColumnNameMethod, "getColumnName", "(I)Ljava/lang/String;");
  LocalRef<jstring> name(env_,
                         static_cast<jstring>(env_->CallObjectMethod(metaData_, id, column)));
  checkJava(env_);
  if (name) copyJavaString(env_, name.get(), out);
}

void ResultSetCursor::getString(int32_t column, std::string& out) {
  LocalRef<jstring> value(
      env_, static_cast<jstring>(env_->CallObjectMethod(resultSet_, getStringMethod_, column)));
  checkJava(env_);
  if (value) {
    copyJavaString(env_, value.get(), out);
  } else {
    out.clear();
  }
}

void ResultSetCursor::requireMetaData() {
  if (metaData_ != nullptr) return;
  throwJava(env_, "java/lang/NullPointerException", "ResultSet.getMetaData() returned null");
  throw JavaExceptionPending{};
}

}  // namespace tabulon
