#include "jni/utl_java2cpp.h"

#include <cstddef>

#include "jni/exports.h"
#include "jni/java_errors.h"
#include "jni/java_string.h"
#include "jni/local_ref.h"

namespace tabulon {

namespace {

constexpr jint kJniVersion = JNI_VERSION_1_4;
constexpr jint kNativeModifier = 0x100;  // java.lang.reflect.Modifier.NATIVE

jclass findClass(JNIEnv* env, const char* name) {
  jclass cls = env->FindClass(name);
  checkJava(env);
  return cls;
}

jmethodID methodId(JNIEnv* env, jclass cls, const char* name, const char* signature) {
  jmethodID id = env->GetMethodID(cls, name, signature);
  checkJava(env);
  return id;
}

// Calls a String-returning method and copies the result into `out` (empty
// for null).
void callStringMethod(JNIEnv* env, jobject target, jmethodID method, std::string& out) {
  LocalRef<jstring> text(env, static_cast<jstring>(env->CallObjectMethod(target, method)));
  checkJava(env);
  if (text) {
    copyJavaString(env, text.get(), out);
  } else {
    out.clear();
  }
}

}  // namespace

std::string callerClassName(JNIEnv* env) {
  LocalRef<jclass> throwableClass(env, findClass(env, "java/lang/Throwable"));
  jmethodID init = methodId(env, throwableClass.get(), "<init>", "()V");
  jmethodID getStackTrace = methodId(env, throwableClass.get(), "getStackTrace",
                                     "()[Ljava/lang/StackTraceElement;");
  LocalRef<jclass> frameClass(env, findClass(env, "java/lang/StackTraceElement"));
  jmethodID getClassName = methodId(env, frameClass.get(), "getClassName", "()Ljava/lang/String;");
  jmethodID getMethodName =
      methodId(env, frameClass.get(), "getMethodName", "()Ljava/lang/String;");

  // A new Throwable captures the current thread's stack, innermost first.
  LocalRef<jobject> throwable(env, env->NewObject(throwableClass.get(), init));
  checkJava(env);
  LocalRef<jobjectArray> frames(
      env, static_cast<jobjectArray>(env->CallObjectMethod(throwable.get(), getStackTrace)));
  checkJava(env);
  if (!frames) return {};

  std::string result;
  std::string frameText;
  std::string methodName;
  const jsize count = env->GetArrayLength(frames.get());
  for (jsize i = 0; i < count; ++i) {
    LocalRef<jobject> frame(env, env->GetObjectArrayElement(frames.get(), i));
    checkJava(env);
    if (!frame) continue;
    callStringMethod(env, frame.get(), getClassName, frameText);
    callStringMethod(env, frame.get(), getMethodName, methodName);
    frameText += '.';
    frameText += methodName;
    if (frameText.compare(0, 5, "java.") == 0) continue;
    const std::size_t clinit = frameText.find(".<clinit>");
    if (clinit != std::string::npos) {
      result = frameText.substr(0, clinit);
      break;
    }
  }
  for (char& c : result) {
    if (c == '.') c = '/';
  }
  return result;
}

std::vector<std::string> declaredNativeMethodNames(JNIEnv* env, jclass cls) {
  std::vector<std::string> names;
  if (cls == nullptr) return names;
  LocalRef<jclass> classClass(env, findClass(env, "java/lang/Class"));
  jmethodID getDeclaredMethods =
      methodId(env, classClass.get(), "getDeclaredMethods", "()[Ljava/lang/reflect/Method;");
  LocalRef<jclass> methodClass(env, findClass(env, "java/lang/reflect/Method"));
  jmethodID getModifiers = methodId(env, methodClass.get(), "getModifiers", "()I");
  jmethodID getName = methodId(env, methodClass.get(), "getName", "()Ljava/lang/String;");

  LocalRef<jobjectArray> methods(
      env, static_cast<jobjectArray>(env->CallObjectMethod(cls, getDeclaredMethods)));
  checkJava(env);
  if (!methods) return names;
  const jsize count = env->GetArrayLength(methods.get());
  for (jsize i = 0; i < count; ++i) {
    LocalRef<jobject> method(env, env->GetObjectArrayElement(methods.get(), i));
    checkJava(env);
    if (!method) continue;
    const jint modifiers = env->CallIntMethod(method.get(), getModifiers);
    checkJava(env);
    if ((modifiers & kNativeModifier) == 0) continue;
    names.emplace_back();
    callStringMethod(env, method.get(), getName, names.back());
  }
  return names;
}

}  // namespace tabulon

namespace {

// The loader entry: the one method bound when the library is loaded.
JNINativeMethod loaderEntry = {const_cast<char*>("RegisterNatives"), const_cast<char*>("()V"),
                               reinterpret_cast<void*>(&RegisterNatives)};

}  // namespace

// Binds RegisterNatives() on the class whose static initialiser loads the
// library. Without such a class (the library loaded from anywhere else) the
// load still succeeds and nothing is bound.
extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
  using namespace tabulon;
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), kJniVersion) != JNI_OK || env == nullptr) {
    return JNI_ERR;
  }
  try {
    const std::string name = callerClassName(env);
    if (name.empty()) return kJniVersion;
    LocalRef<jclass> cls(env, env->FindClass(name.c_str()));
    if (!cls) {
      // The class is not visible to the loader of this library.
      env->ExceptionClear();
      return kJniVersion;
    }
    // A class without a native RegisterNatives()V leaves NoSuchMethodError
    // pending, which makes the JVM fail the load with that error.
    env->RegisterNatives(cls.get(), &loaderEntry, 1);
    return kJniVersion;
  } catch (...) {
    // A failing reflective call or a native failure fails the load with the
    // pending Java exception.
    reportToJava(env);
    return JNI_ERR;
  }
}
