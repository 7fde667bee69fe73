// The second stage of registration, the usage text and add.
//
// nativeMethodTable lists the working methods in registration order; a
// class gets those of them that it declares as native methods itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jni/exports.h"
#include "jni/java_errors.h"
#include "jni/local_ref.h"
#include "jni/utl_java2cpp.h"

namespace {

const JNINativeMethod nativeMethodTable[] = {
    {const_cast<char*>("readme"), const_cast<char*>("()Ljava/lang/String;"),
     reinterpret_cast<void*>(&readme)},
    {const_cast<char*>("doTransform"),
     const_cast<char*>("(Ljava/sql/ResultSet;Ljava/lang/String;)Ljava/lang/String;"),
     reinterpret_cast<void*>(&doTransform)},
};
constexpr std::size_t kTableSize = sizeof(nativeMethodTable) / sizeof(nativeMethodTable[0]);

// The class to register on: the one whose static initialiser is running,
// or `cls` (the class whose RegisterNatives() was called) when no static
// initialiser is on the stack or its class is not visible from here.
jclass registrationTarget(JNIEnv* env, jclass cls, tabulon::LocalRef<jclass>& found) {
  const std::string name = tabulon::callerClassName(env);
  if (name.empty()) return cls;
  found.reset(env->FindClass(name.c_str()));
  if (!found) {
    env->ExceptionClear();
    return cls;
  }
  return found.get();
}

}  // namespace

extern "C" JNIEXPORT void JNICALL RegisterNatives(JNIEnv* env, jclass cls) {
  using namespace tabulon;
  try {
    LocalRef<jclass> found(env, nullptr);
    jclass target = registrationTarget(env, cls, found);
    const std::vector<std::string> declared = declaredNativeMethodNames(env, target);
    JNINativeMethod selected[kTableSize];
    jint count = 0;
    for (const JNINativeMethod& entry : nativeMethodTable) {
      for (const std::string& name : declared) {
        if (name == entry.name) {
          selected[count++] = entry;
          break;
        }
      }
    }
    // A signature mismatch leaves NoSuchMethodError pending for the caller.
    env->RegisterNatives(target, selected, count);
  } catch (...) {
    reportToJava(env);
  }
}

extern "C" JNIEXPORT jstring JNICALL readme(JNIEnv* env, jclass) try {
  std::string text;
  for (const JNINativeMethod& entry : nativeMethodTable) {
    text += entry.name;
    text += ',';
    text += entry.signature;
    text += '\n';
  }
  text.append(80, '=');
  text +=
      "\nString options=\"SumOption=SumNone/SumIncRow/SumIncCol/SunIncRowCol&SumPos=SumFirst/"
      "SumLast&RowColSort=ColSort/RowSort&Separate=|/||/$&Measures=ma,mb&GridFrame=[]\"\n"
      "String ret=doTransform(rs, options);\n";
  return env->NewStringUTF(text.c_str());
} catch (...) {
  tabulon::reportToJava(env);
  return nullptr;
}

extern "C" JNIEXPORT jint JNICALL add(JNIEnv*, jobject, jint a, jint b) {
  // Unsigned addition wraps by definition; converting back is two's complement.
  return static_cast<jint>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
