// The JSON text of a result: a compact writer over a Json::Value tree.
//
// The text is fixed byte for byte because callers compare and store it:
//  - no blank or line break between tokens; ":" after a key, "," between
//    members and elements;
//  - object members in ascending order of their keys compared as unsigned
//    bytes (a key that is a prefix of another comes first);
//  - in strings, '"' and '\' are escaped with a backslash; BS, FF, LF, CR
//    and TAB as \b \f \n \r \t; every other byte below 0x20 as \u00XX with
//    upper-case hexadecimal digits (0x1B gives \u001B, NUL gives \u0000);
//    every other byte, "/" and 0x7F to 0xFF included, is copied raw, so
//    UTF-8 text stays UTF-8 and is never written as \u escapes.
// jsoncpp's own writers escape non-ASCII text and write lower-case hex,
// hence this writer. Strings may hold NUL bytes: Json::Value keeps their
// length and the writer escapes them, so the text never holds a raw NUL.
#ifndef TABULON_REQUEST_JSON_TEXT_H_
#define TABULON_REQUEST_JSON_TEXT_H_

#include <json/value.h>

#include <string>
#include <string_view>

namespace tabulon {

// The compact text of `root` followed by exactly one line feed.
std::string jsonText(const Json::Value& root);

// Appends the compact text of `value` (no line feed) to `out`.
void appendJson(std::string& out, const Json::Value& value);

// Appends `text` as a quoted, escaped JSON string to `out`.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace tabulon

#endif  // TABULON_REQUEST_JSON_TEXT_H_
