#include "jni/row_batch_reader.h"

#include <cstddef>
#include <mutex>

#include "jni/embedded_class.h"
#include "jni/java_errors.h"

namespace tabulon {

namespace {

constexpr char kClassName[] = "tabulon/embedded/RowBatchReader";
constexpr char kBinaryName[] = "tabulon.embedded.RowBatchReader";
constexpr char kReadBatch[] = "readBatch";
constexpr char kReadBatchSignature[] =
    "(Ljava/sql/ResultSet;Ljava/sql/ResultSetMetaData;Z[[B[[I[[Ljava/lang/String;[I)I";

// One loader's reader class. Both references are weak; an entry whose
// loader has been collected is freed on the next scan.
struct Entry {
  jweak loader = nullptr;
  jweak cls = nullptr;
  jmethodID readBatch = nullptr;
};

constexpr std::size_t kEntries = 8;
std::mutex entriesMutex;
Entry entries[kEntries];
std::size_t nextVictim = 0;

void release(JNIEnv* env, Entry& e) {
  if (e.loader != nullptr) env->DeleteWeakGlobalRef(e.loader);
  if (e.cls != nullptr) env->DeleteWeakGlobalRef(e.cls);
  e = Entry{};
}

// The remembered class of `loader`, as a new local reference; null when
// there is none. Only JNI functions that run no Java code are called here.
jclass cachedClass(JNIEnv* env, jobject loader, jmethodID& readBatch) {
  std::lock_guard<std::mutex> lock(entriesMutex);
  for (Entry& e : entries) {
    if (e.loader == nullptr) continue;
    if (env->IsSameObject(e.loader, nullptr)) {
      release(env, e);
      continue;
    }
    if (!env->IsSameObject(e.loader, loader)) continue;
    jclass cls = static_cast<jclass>(env->NewLocalRef(e.cls));
    if (cls == nullptr) {
      release(env, e);
      return nullptr;
    }
    readBatch = e.readBatch;
    return cls;
  }
  return nullptr;
}

void remember(JNIEnv* env, jobject loader, jclass cls, jmethodID readBatch) {
  std::lock_guard<std::mutex> lock(entriesMutex);
  Entry* slot = nullptr;
  for (Entry& e : entries) {
    if (e.loader != nullptr && env->IsSameObject(e.loader, loader)) return;  // a racing thread
    if (e.loader == nullptr && slot == nullptr) slot = &e;
  }
  if (slot == nullptr) {
    slot = &entries[nextVictim];
    nextVictim = (nextVictim + 1) % kEntries;
    release(env, *slot);
  }
  Entry fresh{env->NewWeakGlobalRef(loader), env->NewWeakGlobalRef(cls), readBatch};
  if (fresh.loader == nullptr || fresh.cls == nullptr) {
    release(env, fresh);  // out of memory: not remembered, still usable now
    if (env->ExceptionCheck()) env->ExceptionClear();
    return;
  }
  *slot = fresh;
}

// Class.forName(kBinaryName, false, loader): the class already defined in
// that loader (or one it delegates to). Null, with nothing pending, when
// there is none.
jclass lookUp(JNIEnv* env, jobject loader) {
  jclass found = nullptr;
  LocalRef<jclass> classClass(env, env->FindClass("java/lang/Class"));
  jmethodID forName =
      classClass ? env->GetStaticMethodID(
                       classClass.get(), "forName",
                       "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;")
                 : nullptr;
  LocalRef<jstring> name(env, forName != nullptr ? env->NewStringUTF(kBinaryName) : nullptr);
  if (name) {
    found = static_cast<jclass>(
        env->CallStaticObjectMethod(classClass.get(), forName, name.get(), JNI_FALSE, loader));
  }
  // Any failure on the way leaves an exception pending: the caller reads
  // cell by cell instead, so it must not stay.
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    if (found != nullptr) env->DeleteLocalRef(found);
    return nullptr;
  }
  return found;
}

// Defines the class in `loader`, or finds the one that is there already
// (a duplicate definition raises LinkageError). Null when neither works.
jclass defineOrLookUp(JNIEnv* env, jobject loader) {
  jclass cls = env->DefineClass(kClassName, loader,
                                reinterpret_cast<const jbyte*>(kRowBatchReaderClass),
                                static_cast<jsize>(kRowBatchReaderClassSize));
  if (cls != nullptr) return cls;
  env->ExceptionClear();
  return lookUp(env, loader);
}

jobject classLoaderOf(JNIEnv* env, jclass cls) {
  LocalRef<jclass> classClass(env, env->GetObjectClass(cls));
  jmethodID getClassLoader =
      env->GetMethodID(classClass.get(), "getClassLoader", "()Ljava/lang/ClassLoader;");
  if (getClassLoader == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  jobject loader = env->CallObjectMethod(cls, getClassLoader);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return nullptr;
  }
  return loader;
}

}  // namespace

bool findRowBatchReader(JNIEnv* env, jclass bindingClass, LocalRef<jclass>& cls,
                        jmethodID& readBatch) {
  checkJava(env);  // someone else's exception: not ours to clear
  // The bootstrap loader cannot see java.sql, so its classes get no reader.
  LocalRef<jobject> loader(env, classLoaderOf(env, bindingClass));
  if (!loader) return false;
  cls.reset(cachedClass(env, loader.get(), readBatch));
  if (cls) return true;
  cls.reset(defineOrLookUp(env, loader.get()));
  if (!cls) return false;
  readBatch = env->GetStaticMethodID(cls.get(), kReadBatch, kReadBatchSignature);
  if (readBatch == nullptr) {
    env->ExceptionClear();
    cls.reset(nullptr);
    return false;
  }
  remember(env, loader.get(), cls.get(), readBatch);
  return true;
}

}  // namespace tabulon
