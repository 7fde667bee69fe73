// How failures cross the JNI boundary.
//
// A Java exception raised by a JNI call (for example by a result-set
// method) must stop the native work at once and reach the Java caller
// unchanged: the code that notices it throws JavaExceptionPending, which
// unwinds to the native entry point and leaves the Java exception pending.
// C++ exceptions must never reach the JVM: each entry point catches them
// and turns them into Java exceptions with reportToJava.
#ifndef TABULON_JNI_JAVA_ERRORS_H_
#define TABULON_JNI_JAVA_ERRORS_H_

#include <jni.h>

#include <string_view>

namespace tabulon {

// A Java exception is pending on the current thread.
struct JavaExceptionPending {};

// Throws JavaExceptionPending when the last JNI call left an exception.
inline void checkJava(JNIEnv* env) {
  if (env->ExceptionCheck()) throw JavaExceptionPending{};
}

// Makes a new exception of class `className` (JNI name, with a constructor
// taking a String) with `message` the pending Java exception. Keeps an
// exception that is already pending. Never throws.
void throwJava(JNIEnv* env, const char* className, std::string_view message) noexcept;

// To be called inside a catch (...) block of an entry point: turns the
// exception being handled into a pending Java exception. JavaExceptionPending
// keeps the Java exception as it is; std::bad_alloc becomes OutOfMemoryError
// (with the message of MemoryLimitExceeded, which names the request's
// limit), and so does JavaStringTooLong, with its message naming the size;
// any other exception becomes a RuntimeException with its message.
void reportToJava(JNIEnv* env) noexcept;

}  // namespace tabulon

#endif  // TABULON_JNI_JAVA_ERRORS_H_
