#include "jni/java_string.h"

#include <climits>
#include <memory>

#include "jni/java_string_limits.h"
#include "jni/json_utf16.h"
#include "jni/local_ref.h"
#include "jni/modified_utf8.h"
#include "pivot/memory_budget.h"
#include "pivot/pod_buffer.h"
#include "pivot/prefault_allocator.h"
#include "request/json_pieces.h"
#include "request/json_text.h"

namespace tabulon {

void copyJavaString(JNIEnv* env, jstring text, std::string& out) {
  const jsize chars = env->GetStringLength(text);
  const jsize bytes = env->GetStringUTFLength(text);
  // GetStringUTFRegion writes a terminating zero byte after the text.
  out.resize(static_cast<std::size_t>(bytes) + 1);
  env->GetStringUTFRegion(text, 0, chars, out.data());
  out.resize(static_cast<std::size_t>(bytes));
}

namespace {

// Java's decoder reads standard UTF-8 about twice as fast as NewStringUTF,
// but makes two temporary arrays beside the string (the bytes, and a UTF-16
// buffer twice their size). Below kJavaDecodingFrom the JNI calls cost more
// than the faster decoding saves. From kJavaDecodingUpTo the temporaries
// are large blocks of fresh heap whose pages cost more to fault in than the
// decoding saves: the text is decoded here instead, and NewString makes
// only the string.
constexpr std::size_t kJavaDecodingFrom = 4096;
constexpr std::size_t kJavaDecodingUpTo = std::size_t{1} << 20;

jstring decodedHere(JNIEnv* env, const std::string& bytes) {
  // The UTF-16 copy, made for as many units as bytes, is charged to the
  // request as it is made.
  PodBuffer<char16_t> units;
  units.resize(bytes.size());
  const std::size_t count = utf8::decodeToUtf16(bytes, units.data());
  return env->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(count));
}

// new String(bytes, StandardCharsets.UTF_8), which decodes standard UTF-8
// several times faster than NewStringUTF reads the same bytes. Null, with
// nothing pending, when the JVM cannot do it (such as no heap for the
// temporary array): the caller then takes the other way.
jstring decodedInJava(JNIEnv* env, const std::string& bytes) {
  LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
  LocalRef<jclass> charsets(env, stringClass ? env->FindClass("java/nio/charset/StandardCharsets")
                                             : nullptr);
  jmethodID init = charsets ? env->GetMethodID(stringClass.get(), "<init>",
                                               "([BLjava/nio/charset/Charset;)V")
                            : nullptr;
  jfieldID utf8Field = init != nullptr ? env->GetStaticFieldID(charsets.get(), "UTF_8",
                                                               "Ljava/nio/charset/Charset;")
                                       : nullptr;
  LocalRef<jobject> charset(
      env, utf8Field != nullptr ? env->GetStaticObjectField(charsets.get(), utf8Field) : nullptr);
  const jsize length = static_cast<jsize>(bytes.size());
  LocalRef<jbyteArray> array(env, charset ? env->NewByteArray(length) : nullptr);
  jstring text = nullptr;
  if (array) {
    env->SetByteArrayRegion(array.get(), 0, length, reinterpret_cast<const jbyte*>(bytes.data()));
    text = static_cast<jstring>(
        env->NewObject(stringClass.get(), init, array.get(), charset.get()));
  }
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    if (text != nullptr) env->DeleteLocalRef(text);
    return nullptr;
  }
  return text;
}

}  // namespace

jstring newJavaJson(JNIEnv* env, const TransformDocument& document) {
  const std::size_t size = json::documentSize(document);
  // Texts below a megabyte go the ways that suit them; a text that may pass
  // the JVM's limit goes through newJavaString's checks on its bytes.
  if (size < kJavaDecodingUpTo || size > kMaxUtf16JavaString) {
    return newJavaString(env, jsonText(document));
  }
  // Room for as many units as bytes, mapped with its pages present (large
  // pages where the system gives them): the faults of a fresh block would
  // cost about as much as writing the text.
  ChargedBytes charge;
  charge.hold(size * sizeof(char16_t));
  PrefaultAllocator<char16_t> allocator;
  const auto release = [&](char16_t* block) { allocator.deallocate(block, size); };
  std::unique_ptr<char16_t, decltype(release)> units(allocator.allocate(size), release);
  const std::size_t count = writeJsonUtf16(document, units.get());
  return env->NewString(reinterpret_cast<const jchar*>(units.get()), static_cast<jsize>(count));
}

jstring newJavaString(JNIEnv* env, const std::string& bytes) {
  // A text never has more UTF-16 units than bytes, so only a text longer
  // than the shorter limit needs the pass that counts them.
  if (bytes.size() > kMaxUtf16JavaString) {
    const JavaTextSize size = javaTextSize(bytes);
    if (!fitsJavaString(size)) throw JavaStringTooLong(size);
  }
  if (bytes.size() >= kJavaDecodingFrom && bytes.size() < kJavaDecodingUpTo &&
      utf8::isStandardUtf8(bytes)) {
    if (jstring text = decodedInJava(env, bytes)) return text;
  }
  if (bytes.size() < kJavaDecodingUpTo && utf8::isNewStringUtfSafe(bytes)) {
    return env->NewStringUTF(bytes.c_str());
  }
  return decodedHere(env, bytes);
}

}  // namespace tabulon
