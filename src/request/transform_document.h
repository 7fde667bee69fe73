// The result of a transform request before it becomes text: the request
// echo ("req": the option values as looked up) and the two renderings
// ("ret": the GridFrame text and the HTML). transformRequest writes it as
// the JSON result text (json_text.h); the `tabulon` command also prints
// single renderings of it. Plain texts, each held once: the JSON text is
// written from them directly, with 64-bit sizes throughout.
#ifndef TABULON_REQUEST_TRANSFORM_DOCUMENT_H_
#define TABULON_REQUEST_TRANSFORM_DOCUMENT_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pivot/row_table.h"

namespace tabulon {

struct TransformDocument {
  // (key, value) of the "req" members, in ascending byte order of the keys.
  std::vector<std::pair<std::string, std::string>> echo;
  std::string gridFrame;  // "ret" / "GridFrame"
  std::string html;       // "ret" / "Html"
};

// Records the request echo, moves `rows` with the options into a fresh
// CrossTab's transform and renders the GridFrame text, then the HTML
// (escaped when Escape=Html). The CrossTab (with the rows) is released
// before this returns.
TransformDocument transformDocument(RowTable rows, std::string_view options);

}  // namespace tabulon

#endif  // TABULON_REQUEST_TRANSFORM_DOCUMENT_H_
