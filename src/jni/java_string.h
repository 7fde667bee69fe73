// Moving texts between Java strings and the library's byte strings.
//
// Into the library: the bytes that GetStringUTFChars would give (modified
// UTF-8), copied once into a caller's std::string without the JVM's
// temporary buffer. Out of the library: a Java string that is always well
// formed, whatever the bytes (see modified_utf8.h).
#ifndef TABULON_JNI_JAVA_STRING_H_
#define TABULON_JNI_JAVA_STRING_H_

#include <jni.h>

#include <string>

#include "request/transform_document.h"

namespace tabulon {

// Replaces the content of `out` by the modified UTF-8 bytes of `text`
// (not null). Reuses the capacity of `out`; makes no JVM-side copy.
void copyJavaString(JNIEnv* env, jstring text, std::string& out);

// A new Java string holding the text of `bytes`: as they are when they form
// well-formed modified UTF-8, otherwise decoded with each broken sequence
// replaced by U+FFFD. A text of standard UTF-8 between a few
// kilobytes and a megabyte is decoded by Java's own UTF-8 decoder (faster
// than NewStringUTF there; the same text). Returns null
// with a Java exception pending when the JVM fails; throws JavaStringTooLong
// (java_string_limits.h), before any copy is made, when the text cannot be a
// Java string.
jstring newJavaString(JNIEnv* env, const std::string& bytes);

// newJavaString(env, jsonText(document)), the same string; a large text is
// written straight into UTF-16, without its bytes in between.
jstring newJavaJson(JNIEnv* env, const TransformDocument& document);

}  // namespace tabulon

#endif  // TABULON_JNI_JAVA_STRING_H_
