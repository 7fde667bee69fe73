#include "jni/java_string.h"

#include <climits>
#include <stdexcept>

#include "jni/modified_utf8.h"

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
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("result text too long for a Java string");
  }
  if (utf8::isNewStringUtfSafe(bytes)) return env->NewStringUTF(bytes.c_str());
  const std::u16string text = utf8::decodeToUtf16(bytes);
  return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                        static_cast<jsize>(text.size()));
}

}  // namespace tabulon
