// LocalRef: owns one JNI local reference and deletes it when it goes out of
// scope, so that walks over arrays and result sets keep only a handful of
// references alive however long they are. DeleteLocalRef is allowed while
// a Java exception is pending, so unwinding after an exception is safe.
#ifndef TABULON_JNI_LOCAL_REF_H_
#define TABULON_JNI_LOCAL_REF_H_

#include <jni.h>

namespace tabulon {

template <typename T>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;

  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }

  // Deletes the held reference and takes `ref` instead.
  void reset(T ref) {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
    ref_ = ref;
  }

 private:
  JNIEnv* env_;
  T ref_;
};

}  // namespace tabulon

#endif  // TABULON_JNI_LOCAL_REF_H_
