// The result document of a transform request, before it becomes text:
// {"req": the five option values as looked up, "ret": {"GridFrame", "Html"}}.
// transformRequest writes it as the JSON result text; the `tabulon` command
// also reads single renderings out of it. The caller owns the document.
#ifndef TABULON_REQUEST_TRANSFORM_DOCUMENT_H_
#define TABULON_REQUEST_TRANSFORM_DOCUMENT_H_

#include <json/value.h>

#include <string_view>

#include "pivot/row_table.h"

namespace tabulon {

// Applies the options to a fresh CrossTab, records the request echo, moves
// `rows` into the CrossTab's transformRows and
// renders the GridFrame text, then the HTML. The CrossTab (with the rows)
// is released before this returns.
Json::Value transformDocument(RowTable rows, std::string_view options);

}  // namespace tabulon

#endif  // TABULON_REQUEST_TRANSFORM_DOCUMENT_H_
