// The JSON text of a result: a compact writer of a TransformDocument, and
// of any Json::Value tree.
//
// The text is fixed byte for byte because callers compare and store it:
//  - no blank or line break between tokens; ":" after a key, "," between
//    members and elements;
//  - object members in ascending order of their keys compared as unsigned
//    bytes (a key that is a prefix of another comes first);
//  - in strings, '"' and '\' are escaped with a backslash; BS, FF, LF, CR
//    and TAB as \b \f \n \r \t; every other byte below 0x20 as \u00XX with
//    upper-case hexadecimal digits (0x1B gives \u001B, NUL gives \u0000);
//    the pair C0 80 (U+0000 in the JVM's modified UTF-8) as \u0000 too;
//    every other byte, "/", 0x7F to 0xFF and a C0 not followed by 80
//    included, is copied raw, so UTF-8 text stays UTF-8 and is never
//    written as \u escapes.
// jsoncpp's own writers escape non-ASCII text and write lower-case hex,
// hence this writer. Strings may hold NUL bytes: Json::Value keeps their
// length and the writer escapes them, so the text never holds a raw NUL.
// The document's text is sized first and written once: a result of any
// length (past 4 GB too) is written whole.
#ifndef TABULON_REQUEST_JSON_TEXT_H_
#define TABULON_REQUEST_JSON_TEXT_H_

#include <json/value.h>

#include <string>
#include <string_view>

#include "request/transform_document.h"

namespace tabulon {

// {"req":{echo},"ret":{"GridFrame":...,"Html":...}} followed by one line
// feed, the echo members in ascending byte order of their keys. Its size is
// charged to the request's memory budget before it is allocated.
std::string jsonText(const TransformDocument& document);

// The compact text of `root` followed by exactly one line feed.
std::string jsonText(const Json::Value& root);

// Appends the compact text of `value` (no line feed) to `out`.
void appendJson(std::string& out, const Json::Value& value);

// Appends `text` as a quoted, escaped JSON string to `out`.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace tabulon

#endif  // TABULON_REQUEST_JSON_TEXT_H_
