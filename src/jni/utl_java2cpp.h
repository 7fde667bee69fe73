// Reflection over JNI: which Java class the library serves, and which
// native methods that class declares. Used at load time (JNI_OnLoad, in
// utl_java2cpp.cpp) and when the class asks for its methods to be
// registered. Both return owned byte strings (modified UTF-8, as Java gives
// them) and delete every local reference they make before returning.
#ifndef TABULON_JNI_UTL_JAVA2CPP_H_
#define TABULON_JNI_UTL_JAVA2CPP_H_

#include <jni.h>

#include <string>
#include <vector>

namespace tabulon {

// The JNI name ("a/b/C", a nested class keeping its "$") of the innermost
// class on the current thread's Java stack that runs its static initialiser,
// passing over frames whose text "class.method" begins with "java.". Empty
// when there is none. Throws JavaExceptionPending if a reflective call
// throws.
std::string callerClassName(JNIEnv* env);

// The names of the methods that `cls` itself declares as native, in the
// order of Class.getDeclaredMethods, once per declaration. Empty for a null
// class. Throws JavaExceptionPending if a reflective call throws.
std::vector<std::string> declaredNativeMethodNames(JNIEnv* env, jclass cls);

}  // namespace tabulon

#endif  // TABULON_JNI_UTL_JAVA2CPP_H_
