// The compiled bytes of the Java class tabulon.embedded.RowBatchReader
// (src/jni/java/RowBatchReader.java), generated at build time, so that the
// library can define that class in a caller's loader without any jar.
#ifndef TABULON_JNI_EMBEDDED_CLASS_H_
#define TABULON_JNI_EMBEDDED_CLASS_H_

#include <cstddef>

namespace tabulon {

extern const unsigned char kRowBatchReaderClass[];
extern const std::size_t kRowBatchReaderClassSize;

}  // namespace tabulon

#endif  // TABULON_JNI_EMBEDDED_CLASS_H_
