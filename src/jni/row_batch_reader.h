// The embedded Java class tabulon.embedded.RowBatchReader, as seen from
// native code: the library defines it from its own bytes (embedded_class.h)
// in the class loader of the class that binds the natives, once per loader,
// so that the caller needs no jar for it.
//
// Each loader's class is remembered through weak references (a strong one
// would keep the loader and all its classes alive for ever), in a small
// table guarded by a mutex under which no Java code runs. Two threads that
// define the class at once in one loader are fine: the one that loses gets
// a LinkageError, clears it and looks the class up in that loader.
#ifndef TABULON_JNI_ROW_BATCH_READER_H_
#define TABULON_JNI_ROW_BATCH_READER_H_

#include <jni.h>

#include "jni/local_ref.h"

namespace tabulon {

// Sets `cls` to a new local reference to the reader class in the loader of
// `bindingClass` and `readBatch` to its static method
// readBatch(ResultSet, ResultSetMetaData, boolean, byte[][], int[][],
// String[][], int[]) int.
// Returns false, with no Java exception pending, when the class cannot be
// had there (a class of the bootstrap loader, a failed definition, a class
// of that name without the method). Throws JavaExceptionPending only when a
// Java exception that it did not cause is already pending.
bool findRowBatchReader(JNIEnv* env, jclass bindingClass, LocalRef<jclass>& cls,
                        jmethodID& readBatch);

}  // namespace tabulon

#endif  // TABULON_JNI_ROW_BATCH_READER_H_
