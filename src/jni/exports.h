// The functions that libTabulon.so exports with C linkage (exports.map
// keeps every other symbol local). The JVM looks up only JNI_OnLoad (declared
// by jni.h) by name; RegisterNatives, readme and doTransform are bound to
// Java methods by registration, and add is bound to nothing.
#ifndef TABULON_JNI_EXPORTS_H_
#define TABULON_JNI_EXPORTS_H_

#include <jni.h>

extern "C" {

// Bound to the Java method "RegisterNatives" "()V" by JNI_OnLoad: registers
// readme and doTransform on the calling class, as far as it declares them
// as native methods.
JNIEXPORT void JNICALL RegisterNatives(JNIEnv* env, jclass cls);

// The usage text: the native method table, a rule and an example call.
JNIEXPORT jstring JNICALL readme(JNIEnv* env, jclass cls);

// Reads the whole result set, transforms it as the option text says and
// returns the JSON result text. A Java exception thrown by the result set
// is left pending for the caller (the result is then null).
JNIEXPORT jstring JNICALL doTransform(JNIEnv* env, jobject self, jobject resultSet,
                                      jstring options);

// a + b with 32-bit two's-complement wrap-around.
JNIEXPORT jint JNICALL add(JNIEnv* env, jobject self, jint a, jint b);

}  // extern "C"

#endif  // TABULON_JNI_EXPORTS_H_
