#include "jni/java_errors.h"

#include <exception>
#include <new>
#include <string>

#include "jni/java_string.h"
#include "jni/java_string_limits.h"
#include "jni/local_ref.h"
#include "pivot/memory_budget.h"

namespace tabulon {

void throwJava(JNIEnv* env, const char* className, std::string_view message) noexcept {
  if (env->ExceptionCheck()) return;
  LocalRef<jclass> cls(env, env->FindClass(className));
  if (!cls) return;  // FindClass left its own error pending
  try {
    // The message may hold any bytes; ThrowNew would need modified UTF-8.
    LocalRef<jstring> text(env, newJavaString(env, std::string(message)));
    if (!text) return;
    jmethodID init = env->GetMethodID(cls.get(), "<init>", "(Ljava/lang/String;)V");
    if (init == nullptr) return;
    LocalRef<jobject> error(env, env->NewObject(cls.get(), init, text.get()));
    if (!error) return;
    env->Throw(static_cast<jthrowable>(error.get()));
  } catch (...) {
    if (!env->ExceptionCheck()) env->ThrowNew(cls.get(), "native failure (message lost)");
  }
}

namespace {

// An OutOfMemoryError with the ASCII text `message`, unless an exception is
// already pending.
void throwOutOfMemory(JNIEnv* env, const char* message) noexcept {
  if (env->ExceptionCheck()) return;
  jclass cls = env->FindClass("java/lang/OutOfMemoryError");
  if (cls != nullptr) env->ThrowNew(cls, message);
}

}  // namespace

void reportToJava(JNIEnv* env) noexcept {
  try {
    throw;
  } catch (const JavaExceptionPending&) {
    // Already pending; the Java caller receives it as it was thrown.
  } catch (const MemoryLimitExceeded& e) {
    // The message is ASCII, as ThrowNew needs, and copying it allocates
    // nothing on the native side.
    throwOutOfMemory(env, e.what());
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "native memory exhausted");
  } catch (const JavaStringTooLong& e) {
    throwOutOfMemory(env, e.what());
  } catch (const std::exception& e) {
    throwJava(env, "java/lang/RuntimeException", e.what());
  } catch (...) {
    throwJava(env, "java/lang/RuntimeException", "unknown native failure");
  }
}

}  // namespace tabulon
