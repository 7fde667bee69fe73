// copyBytes: memcpy for the many short texts that the writers copy (cell
// values, tags, runs between escapes). A call into the C library's memcpy
// costs more than copying a text of a few bytes, so texts up to 16 bytes
// are copied inline with two overlapping loads and stores; longer ones go
// to memcpy. `out` and `in` must not overlap.
#ifndef TABULON_PIVOT_BYTE_COPY_H_
#define TABULON_PIVOT_BYTE_COPY_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tabulon {

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word): the first and the
// last word, which overlap unless n is twice the word.
template <typename Word>
inline void copyEnds(char* out, const char* in, std::size_t n) {
  Word head;
  Word tail;
  std::memcpy(&head, in, sizeof(Word));
  std::memcpy(&tail, in + n - sizeof(Word), sizeof(Word));
  std::memcpy(out, &head, sizeof(Word));
  std::memcpy(out + n - sizeof(Word), &tail, sizeof(Word));
}

inline char* copyBytes(char* out, const char* in, std::size_t n) {
  if (n > 16) {
    std::memcpy(out, in, n);
  } else if (n >= 8) {
    copyEnds<uint64_t>(out, in, n);
  } else if (n >= 4) {
    copyEnds<uint32_t>(out, in, n);
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
  }
  return out + n;
}

}  // namespace tabulon

#endif  // TABULON_PIVOT_BYTE_COPY_H_
