#include "jni/java_string.h"

#include "jni/java_string_limits.h"
#include "jni/modified_utf8.h"
#include "pivot/memory_budget.h"

namespace tabulon {

void copyJavaString(JNIEnv* env, jstring text, std::string& out) {
  const jsize chars = env->GetStringLength(text);
  const jsize bytes = env->GetStringUTFLength(text);
  // GetStringUTFRegion writes a terminating zero byte after the text.
  out.resize(static_cast<std::size_t>(bytes) + 1);
  env->GetStringUTFRegion(text, 0, chars, out.data());
  out.resize(static_cast<std::size_t>(bytes));
}

jstring newJavaString(JNIEnv* env, const std::string& bytes) {
  const JavaTextSize size = javaTextSize(bytes);
  if (!fitsJavaString(size)) throw JavaStringTooLong(size);
  if (utf8::isNewStringUtfSafe(bytes)) return env->NewStringUTF(bytes.c_str());
  // The UTF-16 copy (made for as many units as bytes) is charged while it
  // lives.
  ChargedBytes charge;
  charge.hold(bytes.size() * sizeof(char16_t));
  const std::u16string text = utf8::decodeToUtf16(bytes);
  return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                        static_cast<jsize>(text.size()));
}

}  // namespace tabulon
