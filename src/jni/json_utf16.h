// The JSON result text of a TransformDocument written straight into UTF-16
// code units: the text that utf8::decodeToUtf16 makes of jsonText(document),
// without the byte text in between. Escapes are ASCII and never split a
// byte sequence, so the document's texts are decoded run by run, each
// broken sequence becoming U+FFFD as it would in the whole text. Pure; no
// JNI.
#ifndef TABULON_JNI_JSON_UTF16_H_
#define TABULON_JNI_JSON_UTF16_H_

#include <cstddef>
#include <string_view>

#include "jni/modified_utf8.h"
#include "request/json_pieces.h"
#include "request/transform_document.h"

namespace tabulon {

// Writes the text at `out`, which has room for json::documentSize(document)
// units (a text never has more units than bytes); returns the units written.
inline std::size_t writeJsonUtf16(const TransformDocument& document, char16_t* out) {
  struct Utf16Writer {
    char16_t* at;
    void bytes(std::string_view run) { at += utf8::decodeToUtf16(run, at); }
    void ascii(char c) { *at++ = static_cast<unsigned char>(c); }
  } writer{out};
  json::writeDocument(writer, document);
  return static_cast<std::size_t>(writer.at - out);
}

}  // namespace tabulon

#endif  // TABULON_JNI_JSON_UTF16_H_
